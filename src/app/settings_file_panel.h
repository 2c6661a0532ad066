// SPDX-License-Identifier: GPL-3.0-or-later
// Settings files (.vkini): Open, Save and Save As, and the boxes that explain what a loaded
// file brought (another program version, missing or damaged entries). Reading and writing
// the file is the worker's; the change tracker moves the fields into its variables first.
#pragma once

#include "d2xx.h"
#include "rq7_catalogue.h"

#include <QList>
#include <QObject>
#include <QString>

namespace Ui {
class MainWindow;
}
class QAction;
class QStatusBar;
class QWidget;
class change_sets;
class change_tracker;
class rq7_worker;
class unfinished_edits;

class settings_file_panel : public QObject
{
    Q_OBJECT

public:
    settings_file_panel(Ui::MainWindow& ui, QWidget* window, rq7_worker* worker,
                        change_sets& changes, change_tracker& tracker, unfinished_edits& edits,
                        QStatusBar* status, QObject* parent);

    /// The current settings file: where Save writes and the file dialogs start.
    QString file_name() const { return settings_file_name; }
    void set_file_name(const QString& name);
    /// Opens a settings file as File > Open does, without the dialog.
    void open_settings_file(const QString& name);

public slots:
    void when_read_file(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints,
                        QList<adc_trim> trims, QList<QString> warnings);
    void when_settings_saved(QString file_name, QString error);

private slots:
    void on_act_open_triggered();
    void on_act_save_triggered();
    void on_act_save_as_triggered();

private:
    void save_to(QString name);
    void report_file_version(quint32 file_version, const QList<QString>& warnings);

    QWidget* window;
    rq7_worker* worker;
    change_sets& changes;
    change_tracker& tracker;
    unfinished_edits& edits;
    QStatusBar* status;
    QAction* act_save;
    QString settings_file_name;
    /// This program's version as settings files record it: (major << 24) | (minor << 8) | patch.
    quint32 own_version;
};
