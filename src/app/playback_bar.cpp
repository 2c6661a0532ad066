// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback_bar.h"

#include "log_playback.h"

#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QToolButton>

namespace {

const int speeds[] = {1, 2, 4, 16};

} // namespace

playback_bar::playback_bar(log_playback* playback_, const QString& prefix, QWidget* parent)
    : QWidget(parent)
    , playback(playback_)
{
    setObjectName(prefix + "playback_bar");
    home_button = make_button(QStyle::SP_MediaSkipBackward, "First sample (Home)");
    back_button = make_button(QStyle::SP_MediaSeekBackward, "One sample back (Left)");
    play_button = make_button(QStyle::SP_MediaPlay, "Play the log (Space)");
    forward_button = make_button(QStyle::SP_MediaSeekForward, "One sample forward (Right)");
    end_button = make_button(QStyle::SP_MediaSkipForward, "Last sample (End)");
    home_button->setObjectName(prefix + "playback_home");
    back_button->setObjectName(prefix + "playback_back");
    play_button->setObjectName(prefix + "playback_play");
    forward_button->setObjectName(prefix + "playback_forward");
    end_button->setObjectName(prefix + "playback_end");
    speed = new QComboBox(this);
    speed->setObjectName(prefix + "playback_speed");
    speed->setToolTip("Playback speed");
    for (int s : speeds)
        speed->addItem(QString("%1\u00d7").arg(s), s);
    slider = new QSlider(Qt::Horizontal, this);
    slider->setObjectName(prefix + "playback_slider");
    slider->setToolTip("Position in the log");
    position = new QLabel(this);
    position->setObjectName(prefix + "playback_position");
    // A fixed size: a label whose size may change asks its page to lay itself out again on
    // every new text, 30 times a second while playing.
    position->setFixedSize(fontMetrics().horizontalAdvance("0000-00-00 00:00:00.000  "),
                           position->sizeHint().height());

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : std::initializer_list<QWidget*>{home_button, back_button, play_button,
                                                      forward_button, end_button, speed})
        layout->addWidget(w);
    layout->addWidget(slider, 1);
    layout->addWidget(position);

    connect(home_button, &QToolButton::clicked, playback, &log_playback::home);
    connect(back_button, &QToolButton::clicked, playback, &log_playback::step_back);
    connect(play_button, &QToolButton::clicked, playback, &log_playback::toggle_play);
    connect(forward_button, &QToolButton::clicked, playback, &log_playback::step_forward);
    connect(end_button, &QToolButton::clicked, playback, &log_playback::end);
    connect(speed, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { playback->set_speed(speed->itemData(index).toInt()); });
    connect(slider, &QSlider::valueChanged, playback, &log_playback::seek);
    connect(playback, &log_playback::frame_shown, this, &playback_bar::when_frame_shown);
    connect(playback, &log_playback::log_changed, this, &playback_bar::when_log_changed);
    connect(playback, &log_playback::playing_changed, this, &playback_bar::when_playing_changed);
    when_log_changed(playback->size());
}

QToolButton* playback_bar::make_button(QStyle::StandardPixmap icon, const QString& tip)
{
    auto* button = new QToolButton(this);
    button->setIcon(style()->standardIcon(icon));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

void playback_bar::add_keys_to(QWidget* page)
{
    key_page = page;
    page->setFocusPolicy(Qt::ClickFocus);
    page->installEventFilter(this);
}

// A key reaches the page when the page has the focus, or when the part of it that had the
// focus did not use the key and handed it on.
bool playback_bar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != key_page || event->type() != QEvent::KeyPress || !keys_allowed())
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    switch (key->key()) {
    case Qt::Key_Space:
        playback->toggle_play();
        return true;
    case Qt::Key_Left:
        playback->step_back();
        return true;
    case Qt::Key_Right:
        playback->step_forward();
        return true;
    case Qt::Key_Home:
        playback->home();
        return true;
    case Qt::Key_End:
        playback->end();
        return true;
    default:
        return false;
    }
}

bool playback_bar::keys_allowed() const
{
    return available && isVisible();
}

void playback_bar::set_available(bool available_)
{
    available = available_;
    if (!available)
        playback->pause();
    update_enabled();
}

void playback_bar::update_enabled()
{
    setEnabled(available && playback->size() > 0);
}

void playback_bar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (position_stale)
        when_frame_shown(playback->position());
}

void playback_bar::when_frame_shown(int index)
{
    position_stale = !isVisible();
    if (position_stale)
        return;
    {
        const QSignalBlocker block(slider);
        slider->setValue(index);
    }
    position->setText(local_time(playback->position_time()).toString("yyyy-MM-dd hh:mm:ss.zzz"));
}

// The local time of every position would look the time zone up each time (a file status
// call, 30 times a second while playing): its offset is looked up again only an hour on.
QDateTime playback_bar::local_time(qint64 t)
{
    if (!offset_known || qAbs(t - offset_taken_at) > 3600 * 1000) {
        utc_offset = QDateTime::fromMSecsSinceEpoch(t).offsetFromUtc();
        offset_taken_at = t;
        offset_known = true;
    }
    return QDateTime::fromMSecsSinceEpoch(t, Qt::OffsetFromUTC, utc_offset);
}

void playback_bar::when_log_changed(int samples)
{
    offset_known = false;
    {
        const QSignalBlocker block(slider);
        slider->setRange(0, qMax(0, samples - 1));
        slider->setPageStep(qMax(1, samples / 20));
        slider->setValue(0);
    }
    if (samples == 0)
        position->clear();
    else
        position->setText(
            local_time(playback->position_time()).toString("yyyy-MM-dd hh:mm:ss.zzz"));
    update_enabled();
}

void playback_bar::when_playing_changed(bool playing)
{
    play_button->setIcon(
        style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    play_button->setToolTip(playing ? "Pause (Space)" : "Play the log (Space)");
}
