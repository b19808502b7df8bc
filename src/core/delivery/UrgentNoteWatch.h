#pragma once

#include <QHash>
#include <QObject>

#include <chrono>

class QTimer;

namespace vimo {

// Keeps red notes from being overlooked: a red note the user has not touched yet (clicked,
// dragged, resized, hidden, deleted) is raised to the front again every interval, and while
// one waits the tray icon says so. It knows the notes only as objects with a Touched signal
// and forgets one by itself when it is destroyed.
class UrgentNoteWatch : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds DefaultInterval = std::chrono::minutes(5);

    explicit UrgentNoteWatch(
        std::chrono::milliseconds interval = DefaultInterval, QObject* parent = nullptr);
    ~UrgentNoteWatch() override;

    // A note window has opened. Only a red one (urgency 3) is watched.
    template <typename Note> void Watch(Note* note, int urgency)
    {
        if (Add(note, urgency))
            connect(note, &Note::Touched, this, [this, note] { Touched(note); });
    }

    // The user acted on the note: it is never raised again.
    void Touched(QObject* note);

    bool UrgentNoteWaits() const { return !Timers.isEmpty(); }

Q_SIGNALS:
    // Its interval has passed and the note is still untouched: bring it to the front.
    void RaiseAgain(QObject* note);
    // The first untouched red note came, or the last one went.
    void UrgentNoteWaitsChanged(bool waits);

private:
    bool Add(QObject* note, int urgency);
    void Drop(QObject* note);

    const std::chrono::milliseconds Interval;
    // One timer per watched note, so that each is raised a full interval after it opened.
    QHash<QObject*, QTimer*> Timers;
};

} // namespace vimo
