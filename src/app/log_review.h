// SPDX-License-Identifier: GPL-3.0-or-later
// Looking back at a stored log in the window: playing it back (a bar on the Live View page
// with its keys, and one on each table page), each table page's log coverage, and File >
// Export Live Log as CSV.... The log is the worker's store: a file opened, or the live log
// once live updates are off. None of it is available while live updates run, and none of it
// sends anything to the unit.
#pragma once

#include "rq7_frame.h"
#include "rq7_log_view.h"

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QTimer;
class QWidget;
class converter;
class log_graph;
class log_playback;
class playback_bar;
class rq7_worker;
class table_coverage;

class log_review : public QObject
{
    Q_OBJECT

public:
    /// Builds its bars into the pages of the form under `window`, and its action into the
    /// File menu. `folder` gives the folder to export into by default.
    log_review(QWidget* window, rq7_worker* worker, converter* conv,
               std::function<QString()> folder, QObject* parent);

    log_playback* playback() const { return player; }

signals:
    /// A stored sample to show as a live frame is shown.
    void frame_to_show(rq7_frame frame);
    /// A message for the status bar.
    void status_message(QString text);

private slots:
    /// Live updates started or stopped (the worker's log_started and log_stopped).
    void set_live(bool live);
    void when_frame_shown(int index, rq7_frame frame);
    void reload_log();
    void export_log();

private:
    void build_playback_bars();
    void build_coverage(int table, const char* name);
    void update_available();

    QWidget* window;
    converter* conv;
    std::function<QString()> folder;
    rq7_log_view log;
    log_graph* graph;
    log_playback* player;
    QList<playback_bar*> bars;
    QList<table_coverage*> coverages;
    QAction* export_action;
    /// The store changes in bursts (a file read, the last frame after a stop): reloaded once.
    QTimer* reload_soon;
    bool live = false;
};
