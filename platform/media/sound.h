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
    // is missing or there is no audio output to play it on.
    bool play(const QString &path);
    void stop();

    // True when the system offers at least one audio output.
    static bool audioAvailable();

private:
    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_output = nullptr;
};

}  // namespace vplatform
