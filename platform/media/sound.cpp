#include "platform/media/sound.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>

namespace vplatform {

SoundPlayer::SoundPlayer(QObject *parent) : QObject(parent) {}

SoundPlayer::~SoundPlayer()
{
    stop();
}

bool SoundPlayer::audioAvailable()
{
    // The media back ends abort when asked to play with no device at all.
    return !QMediaDevices::audioOutputs().isEmpty();
}

bool SoundPlayer::play(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) return false;
    if (!audioAvailable()) return false;
    // The player is made on first use only: most runs never play anything.
    if (!m_player) {
        m_player = new QMediaPlayer(this);
        m_output = new QAudioOutput(this);
        m_player->setAudioOutput(m_output);
    }
    m_player->stop();
    m_player->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    m_player->play();
    return true;
}

void SoundPlayer::stop()
{
    if (m_player) m_player->stop();
}

}  // namespace vplatform
