// The scripted gateway on a thread of its own, so that it sends at its own pace
// however long the window's thread is busy, as a real server would.
#pragma once

#include <QObject>
#include <QThread>
#include <type_traits>

#include "tools/gateway/scriptedgateway.h"

class GatewayThread {
public:
    GatewayThread(const GatewayThread&) = delete;
    GatewayThread& operator=(const GatewayThread&) = delete;

    // Runs `f` on the gateway's thread with the gateway and waits for its result.
    template <class F> auto run(F f)
    {
        using R = decltype(f());
        if constexpr (std::is_void_v<R>) {
            QMetaObject::invokeMethod(&m_anchor, f, Qt::BlockingQueuedConnection);
        } else {
            R result{};
            QMetaObject::invokeMethod(
                &m_anchor, [&] { result = f(); }, Qt::BlockingQueuedConnection);
            return result;
        }
    }
    // Runs `f` on the gateway's thread and returns at once.
    template <class F> void post(F f) { QMetaObject::invokeMethod(&m_anchor, f); }

    explicit GatewayThread(const QString& address)
    {
        m_thread.start();
        m_anchor.moveToThread(&m_thread);
        run([&] { m_gateway = new ScriptedGateway(address); });
    }
    ~GatewayThread()
    {
        run([&] { delete m_gateway; });
        m_thread.quit();
        m_thread.wait();
    }
    // Only to be used inside run() or post().
    ScriptedGateway& gateway() { return *m_gateway; }

private:
    QThread m_thread;
    QObject m_anchor;
    ScriptedGateway* m_gateway = nullptr;
};
