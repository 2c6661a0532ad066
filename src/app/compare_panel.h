// SPDX-License-Identifier: GPL-3.0-or-later
// Comparing what the window shows with a settings file (File > Compare with Settings File...)
// or with the unit (Device > Compare with Unit, read without changing the window): every
// differing table cell is outlined with the other value in its tooltip, every differing field
// is highlighted, and the Differences dock lists them as quorvane-cli diff prints them, in
// the user's boost unit; a click goes to the page and cell. "Take the other value" copies the
// other side's values of the selected cells and entries in as one undo step. The marks follow
// every edit until Clear Comparison. Comparing changes nothing pending and writes nothing.
#pragma once

#include "d2xx.h"
#include "settings_report.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTimer>
#include <QVariant>

namespace Ui {
class MainWindow;
}
class QAction;
class QDockWidget;
class QListWidget;
class QListWidgetItem;
class QMainWindow;
class QStatusBar;
class QWidget;
class change_tracker;
class converter;
class duty_table;
class rq7_worker;
class table_pages;
class undo_history;
class unfinished_edits;

class compare_panel : public QObject
{
    Q_OBJECT

public:
    compare_panel(Ui::MainWindow& ui, QMainWindow* window, rq7_worker* worker, converter* conv,
                  change_tracker& tracker, table_pages& tables, undo_history& history,
                  unfinished_edits& edits, QObject* parent);

    /// Compares the window with a settings file; false (with a box) when it cannot be read.
    bool compare_with_file(const QString& name);
    bool comparing() const { return active; }
    QListWidget* differences() const { return list; }

public slots:
    void clear_comparison();
    void set_connected(bool connected);
    /// Copies the other side's values of the marked cells selected in the table shown and of
    /// the entries selected in the dock, as one undo step.
    void take_other_value();

private:
    /// A field of the form and the value the other side holds for it.
    using field_value = QPair<QWidget*, QVariant>;

    void build_actions(Ui::MainWindow& ui);
    void compare_with_unit();
    void when_read_compare_data(FT_STATUS status, QList<QByteArray> tables, QList<quint32> ints);
    void start(const QString& name, const QList<QByteArray>& tables, const QList<quint32>& ints);
    /// Marks and lists the differences between the window and the other side as they are now.
    void show_differences();
    void unmark();
    void mark_field(QWidget* field, const QString& other);
    void go_to(QListWidgetItem* entry);
    QWidget* page_of(QWidget* widget) const;
    QList<field_value> other_values(const settings_report::origin& from) const;
    QWidget* field(const QString& name) const;

    QMainWindow* window;
    Ui::MainWindow& ui;
    rq7_worker* worker;
    converter* conv;
    change_tracker& tracker;
    table_pages& tables;
    undo_history& history;
    unfinished_edits& edits;
    QAction* act_compare_file = nullptr;
    QAction* act_compare_unit = nullptr;
    QAction* act_clear = nullptr;
    QAction* act_show = nullptr;
    QAction* act_take = nullptr;
    QDockWidget* dock = nullptr;
    QListWidget* list = nullptr;
    QTimer refresh;

    bool active = false;
    bool reading_unit = false;
    bool connected = false;
    QString other_name;
    QList<QByteArray> other_tables;
    QList<quint32> other_ints;
    /// Highlighted fields with the style sheet and tooltip they had before.
    QHash<QWidget*, QPair<QString, QString>> marked_fields;
    /// The other side's count of every differing cell, by cell_key.
    QHash<int, quint16> other_cells;
    static int cell_key(int table, int row, int column)
    {
        return (table << 16) | (row << 8) | column;
    }
};
