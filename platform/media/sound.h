#pragma once
// A sound played once, without waiting.  Where the machine cannot play it
// (no audio output, no such file) nothing happens and play() says so.

#include <QObject>
#include <QString>

class QMediaPlayer;
class QAudioOutput;

namespace vplatform {

class SoundPlayer : public QObject {
    Q_OBJECT
public:
    explicit SoundPlayer(QObject *parent = nullptr);
    ~SoundPlayer() override;

    // Starts the file and returns at once; false (and silence) when the file
    // is missing or there is no audio output to play it on, with the reason
    // in error().
    bool play(const QString &path);
    void stop();
    QString error() const { return m_error; }

    // True when the system offers at least one audio output.
    static bool audioAvailable();

signals:
    // A started file that turned out unplayable (not a sound it can decode).
    void failed(const QString &message);

private:
    QString m_error;
    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_output = nullptr;
};

}  // namespace vplatform
