#include "platform/media/sound.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QDir>
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
    m_error.clear();
    if (!info.isFile() || !info.isReadable()) {
        m_error = QStringLiteral("无法打开声音文件：") + QDir::toNativeSeparators(path);
        return false;
    }
    if (!audioAvailable()) {
        m_error = QStringLiteral("没有可用的声音输出设备，无法播放：") + QDir::toNativeSeparators(path);
        return false;
    }
    // The player is made on first use only: most runs never play anything.
    if (!m_player) {
        m_player = new QMediaPlayer(this);
        m_output = new QAudioOutput(this);
        m_player->setAudioOutput(m_output);
        connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error, const QString &text) {
            const QString file = QDir::toNativeSeparators(m_player->source().toLocalFile());
            const QString why = text.isEmpty() ? QString() : QStringLiteral("\n") + text;
            emit failed(QStringLiteral("无法播放声音文件：") + file + why);
        });
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
