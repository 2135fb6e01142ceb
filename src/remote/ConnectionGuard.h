#pragma once

#include <QList>
#include <QObject>
#include <functional>

// One exchange at a time holds the connection on the window side. Events run while an exchange
// waits for the server, so a click can ask for another exchange meanwhile: a listing asked for
// then is remembered and runs once the holder lets go (the latest request wins, as it lists the
// current folder); any other remote command is refused. What the holder calls itself (a delete
// pass listing the folder at its end) nests: only a request from an event that ran while the
// holder waited counts as another's.
class ConnectionGuard : public QObject
{
    Q_OBJECT
public:
    // Holds the connection while it lives; false when it was refused.
    class Turn
    {
    public:
        Turn() = default;
        Turn(Turn &&other) noexcept;
        Turn &operator=(Turn &&) = delete;
        Turn(const Turn &) = delete;
        ~Turn();
        explicit operator bool() const { return m_guard != nullptr; }

    private:
        friend class ConnectionGuard;
        Turn(ConnectionGuard *guard, quint64 generation) : m_guard(guard), m_generation(generation) {}
        ConnectionGuard *m_guard = nullptr;
        quint64 m_generation = 0;
    };

    explicit ConnectionGuard(QObject *parent = nullptr);

    // Something else that keeps the connection busy (a file transfer under way).
    void setOtherwiseBusy(std::function<bool()> busy) { m_otherwiseBusy = std::move(busy); }
    // Whether a command asked for here and now would be refused.
    bool isBusy() const;
    // The connection for one exchange; an empty turn when another holds it. A listing that
    // takes its turn satisfies every listing asked for before.
    Turn take(bool listing = false);
    // A listing for when the connection is free: listingDue() then fires from the event loop.
    void requestListing();
    bool listingRequested() const { return m_listingWanted; }
    // The connection was replaced or closed: turns taken on it hold nothing any more.
    void reset();

signals:
    void listingDue();

private:
    void release(quint64 generation);
    void scheduleListing();

    std::function<bool()> m_otherwiseBusy;
    QList<int> m_levels; // the event nesting of each live turn, the outermost first
    quint64 m_generation = 1;
    bool m_listingWanted = false;
    bool m_listingScheduled = false;
};
