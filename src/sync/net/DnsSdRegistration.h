#pragma once

namespace vantorel {

// One advertised service; destroying it withdraws the advertisement.
class DnsSdRegistration
{
public:
    virtual ~DnsSdRegistration() = default;
};

} // namespace vantorel
