#include "uploader.h"

#include <QDebug>

namespace {

// A batch under way when the grace ends is let finish for this long.
constexpr int BatchGraceMs = 3000;

} // namespace

Uploader::Uploader(const UploadWorker::Settings &settings, QObject *parent)
    : QObject(parent), worker(new UploadWorker(settings))
{
    // The worker lives and dies in its thread.
    worker->moveToThread(&thread);
    connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &UploadWorker::Told, this, &Uploader::Told);
    connect(worker, &UploadWorker::StatusChanged, this,
            [this](const QDateTime &lastUpload, qint64 waiting, bool isUp) {
                uploaded = lastUpload;
                waitingRows = waiting;
                isServerUp = isUp;
                emit StatusChanged(lastUpload, waiting, isUp);
            });
    thread.setObjectName(QStringLiteral("upload"));
}

Uploader::~Uploader()
{
    Stop(0);
}

void Uploader::Start()
{
    if (thread.isRunning())
        return;
    thread.start(QThread::LowPriority);
    QMetaObject::invokeMethod(worker, &UploadWorker::Start, Qt::QueuedConnection);
}

void Uploader::Finish(int msecs)
{
    Stop(msecs);
}

void Uploader::Stop(int msecs)
{
    if (!thread.isRunning())
        return;
    QMetaObject::invokeMethod(
        worker, [this, msecs] { worker->Drain(msecs); }, Qt::QueuedConnection);
    thread.quit();
    if (thread.wait(ulong(msecs + BatchGraceMs)))
        return;
    // A server that stopped answering in the middle of a statement: the
    // statement is made to fail, the transaction is lost on the server's side
    // and the mark was not moved, so the rows go up after the next start.
    qWarning() << "upload thread did not stop in time; its connection is cut";
    worker->Interrupt();
    thread.wait();
}
