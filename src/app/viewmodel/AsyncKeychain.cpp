#include "app/viewmodel/AsyncKeychain.h"

#include "app/platform/KeychainStore.h"

#include <QObject>
#include <QThread>

namespace vantorel {

AsyncKeychain::AsyncKeychain(std::shared_ptr<KeychainStore> store)
    : m_store(std::move(store))
    , m_thread(std::make_unique<QThread>())
{
    m_thread->setObjectName(QStringLiteral("AsyncKeychain"));
    m_worker = new QObject;
    m_worker->moveToThread(m_thread.get());
    QObject::connect(m_thread.get(), &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread->start();
}

AsyncKeychain::~AsyncKeychain()
{
    // Quitting from a queued job lets every call queued before it finish first.
    QThread* thread = m_thread.get();
    QMetaObject::invokeMethod(m_worker, [thread] { thread->quit(); }, Qt::QueuedConnection);
    m_thread->wait();
}

void AsyncKeychain::post(std::function<void(const KeychainStore*)> job)
{
    // The job holds the store, so a call still queued at destruction finds it alive.
    QMetaObject::invokeMethod(
        m_worker, [store = m_store, job = std::move(job)] { job(store.get()); }, Qt::QueuedConnection);
}

QCoro::Task<bool> AsyncKeychain::contains(QString service)
{
    return run<bool>([service](const KeychainStore* store) { return store && store->contains(service); });
}

QCoro::Task<SecureValueReadResult> AsyncKeychain::readResult(QString service)
{
    return run<SecureValueReadResult>([service](const KeychainStore* store) {
        return store ? store->readResult(service) : SecureValueReadResult::missing();
    });
}

QCoro::Task<> AsyncKeychain::save(QString value, QString service)
{
    return run<void>([value, service](const KeychainStore* store) {
        if (store) {
            store->save(value, service);
        }
    });
}

QCoro::Task<> AsyncKeychain::deleteItem(QString service)
{
    return run<void>([service](const KeychainStore* store) {
        if (store) {
            store->deleteItem(service);
        }
    });
}

} // namespace vantorel
