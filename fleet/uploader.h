#pragma once

#include "uploadworker.h"

#include <QDateTime>
#include <QObject>
#include <QThread>

// The station's uploader as the window holds it: the worker on its own
// thread, so that the window, the poll and the run file never wait on the
// network. Destroying it without Finish() stops the thread at once; what was
// not sent goes up after the next start.
class Uploader : public QObject
{
    Q_OBJECT

public:
    // The clean exit's grace for what is waiting.
    static constexpr int FinishMs = 5000;

    explicit Uploader(const UploadWorker::Settings &settings, QObject *parent = nullptr);
    ~Uploader() override;

    void Start();
    // Gives what is waiting up to msecs to go up, then stops. Blocks the
    // caller that long at most (plus the end of a batch under way).
    void Finish(int msecs = FinishMs);

    QDateTime lastUpload() const { return uploaded; }
    qint64 waiting() const { return waitingRows; }
    bool isUp() const { return isServerUp; }

signals:
    void Told(const QString &text);
    void StatusChanged(const QDateTime &lastUpload, qint64 waiting, bool isUp);

private:
    void Stop(int msecs);

    QThread thread;
    UploadWorker *worker;
    QDateTime uploaded;
    qint64 waitingRows = -1;
    bool isServerUp = false;
};
