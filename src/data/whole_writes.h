#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

class QFileDevice;

// A buffer in front of a file for writers that ignore what write() answers (the PDF writer):
// it collects what is written and hands it on in large pieces, each written whole or not at
// all, so that a full disk or a file-size limit is never taken for success. `file` must be
// open, unbuffered.
class WholeWrites : public QIODevice {
public:
    explicit WholeWrites(QFileDevice& file);

    // Writes what is still collected; false when any write failed (cause() says why).
    bool finish();
    const QString& cause() const { return m_cause; }

protected:
    qint64 readData(char* data, qint64 size) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool handOn();

    QFileDevice& m_file;
    QByteArray m_pending;
    QString m_cause;
};
