// SPDX-License-Identifier: GPL-3.0-or-later
// The bar that plays a stored log back: Play/Pause, the speed (1x, 2x, 4x, 16x), a slider
// over the log's samples, the position as local time, a step back and forward, the first and
// the last sample. Space, Left, Right, Home and End do the same on the page that holds it.
// It moves a log_playback; what follows the position is wired by the page's owner.
#pragma once

#include <QDateTime>
#include <QStyle>
#include <QWidget>

class QComboBox;
class QLabel;
class QSlider;
class QToolButton;
class log_playback;

class playback_bar : public QWidget
{
    Q_OBJECT

public:
    /// Its widgets are named `prefix` + "playback_bar", "playback_play", "playback_slider" and
    /// so on, so that a page can hold a bar of its own.
    playback_bar(log_playback* playback, const QString& prefix = QString(),
                 QWidget* parent = nullptr);

    /// Space, Left, Right, Home and End on `page`: pressed with the page itself focused (a
    /// click on its background) or in a part of it that has no use for the key; a field, a
    /// check box or a button on the page keeps its own keys.
    void add_keys_to(QWidget* page);
    /// Off while live updates run, or with no stored sample.
    void set_available(bool available);
    bool is_available() const { return available; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void when_frame_shown(int index);
    void when_log_changed(int samples);
    void when_playing_changed(bool playing);

private:
    QToolButton* make_button(QStyle::StandardPixmap icon, const QString& tip);
    void update_enabled();
    bool keys_allowed() const;
    QDateTime local_time(qint64 t);

    log_playback* playback;
    QToolButton* home_button;
    QToolButton* back_button;
    QToolButton* play_button;
    QToolButton* forward_button;
    QToolButton* end_button;
    QComboBox* speed;
    QSlider* slider;
    QLabel* position;
    bool available = false;
    QWidget* key_page = nullptr;
    /// A bar on a page not shown skips the positions (the local time costs a look at the
    /// time zone) and catches up when it shows.
    bool position_stale = false;
    int utc_offset = 0; // seconds
    qint64 offset_taken_at = 0;
    bool offset_known = false;
};
