#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <optional>

namespace vantorel::enumnames {

// Raw-value tables of the string enumerations: the name of a case sits at the case's index, so
// every table must list the cases in declaration order.
template <typename E, std::size_t N>
QString name(const std::array<QStringView, N>& names, E value)
{
    const auto index = static_cast<std::size_t>(value);
    return index < N ? names[index].toString() : QString();
}

template <typename E, std::size_t N>
std::optional<E> parse(const std::array<QStringView, N>& names, QStringView raw)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == raw) {
            return static_cast<E>(i);
        }
    }
    return std::nullopt;
}

} // namespace vantorel::enumnames
