// One copy of the program per data folder. Two engines on the same
// profile would corrupt the learner's storage, so a second start hands
// over to the copy that already runs (which comes to the front) and ends.
#pragma once

#include <QObject>

#include <memory>

class QLocalServer;
class QLockFile;

class TSingleInstance : public QObject
{
    Q_OBJECT

public:
    // dataFolder: the folder whose storage this copy would use.
    explicit TSingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~TSingleInstance() override;

    // Makes this copy the one of its data folder; false when another copy
    // runs there.
    bool claim();

    // For the copy that could not claim the folder: asks the running copy
    // to come forward, waiting up to timeoutMs for it to listen (it may
    // still be starting). False when it never answered.
    bool activateRunningCopy(int timeoutMs = 15000);

    // The running copy's pid, from the lock, or 0.
    qint64 runningProcessId() const;

    QString socketPath() const;

signals:
    // Another copy was started on the same data folder.
    void activationRequested();

private:
    void onNewConnection();

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};
