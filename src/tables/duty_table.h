// SPDX-License-Identifier: GPL-3.0-or-later
// The editable grid of one output's duty table: cells are duty in percent, columns engine
// speed breakpoints, rows breakpoints of the vertical quantity (top row = maximum). It also
// codes its cells into the block the unit stores and shows where the engine runs right now.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QDeadlineTimer>
#include <QString>
#include <QTableWidget>
#include <QTimer>
#include <QVector>

#include <functional>

class QFrame;
class QUndoStack;
class converter;
class duty_table_delegate;

class duty_table : public QTableWidget
{
    Q_OBJECT

public:
    explicit duty_table(QWidget* parent = nullptr);
    duty_table(int rows, int cols, QWidget* parent = nullptr);

    /// Shared with the other tables and owned by the window; the byte conversions need it.
    converter* conv = nullptr;
    /// Set by the window: opens help with scripting from a script's error box, which offers no
    /// Help button while this is empty.
    std::function<void()> open_script_help;

    /// RPM breakpoint of column `index` for a maximum engine speed (a multiple of 500).
    static int calc_horz_axis(int max_rpm, int index);
    /// Breakpoint `index` of the stepped vertical axis, counted from the bottom (0 = min).
    static double calc_vert_axis(double max, double min, int index);
    static void calc_cell_colors(quint8 value, QColor& text, QColor& background);

    void set_horz_axis(int max_rpm);
    void set_vert_axis(double min, double max);
    void set_vert_axis_linear(double min, double max);
    int horz_header_at(int column) const;
    double vert_header_at(int row) const;

    /// The cell block: 2 bytes per cell, bottom row first, left to right.
    QByteArray to_byteArray() const;
    void from_byteArray(QByteArray block);
    void fill_all(QString text);
    /// Every cell's value, in cell-block order.
    QVector<double> cell_values() const;

    /// One cell's duty as the unit stores it (0..1023, 1023 = 100 %).
    struct cell_count
    {
        int row = 0;
        int column = 0;
        quint16 count = 0;
    };
    /// Every cell's duty count, row by row from the top, left to right within a row.
    QVector<quint16> counts() const;
    /// Sets cells as the program does (no undo step), announced as one bulk change.
    void load_counts(const QVector<cell_count>& cells);
    /// Sets cells as one user edit: one undo step named `what` ("take the other value").
    void set_cells(const QVector<cell_count>& cells, const QString& what);
    /// From now on every user edit is pushed onto `stack` as one step, named after `name`
    /// ("paste into Main table"); null records nothing.
    void set_undo_stack(QUndoStack* stack, const QString& name);

    /// Marks a cell that differs from a compared file or unit: outlined, with `other` (the
    /// other side's value) in its tooltip. An empty `other` takes the mark away.
    void set_mark(int row, int column, const QString& other);
    void clear_marks();
    QString mark(int row, int column) const;
    bool has_marks() const { return marked > 0; }

    /// Moves the live-position lines to a point of the table, at most ten times a second.
    void set_highlight_position(quint16 rpm, double value);

    /// What a log's coverage shows in one cell: shaded by `strength` (0..1) with `label` in
    /// a corner and `tip` as its tooltip; a cell not shown stays plain.
    struct cell_coverage
    {
        bool shown = false;
        double strength = 0;
        QString label;
        QString tip;
    };
    /// The item data role of a cell's coverage label (painted by the delegate).
    static constexpr int coverage_role = Qt::UserRole + 1;
    /// Shows a log's coverage instead of the duty colours, one entry per cell, top row first,
    /// left to right; the duty stays the cell's text. Any other count of entries clears it.
    void set_coverage(const QVector<cell_coverage>& cells);
    void clear_coverage() { set_coverage({}); }
    bool has_coverage() const { return !coverage.isEmpty(); }

    /// Runs a script over the selected cells: each cell gets the script's result, 0..100.
    void apply_script(QString script);

signals:
    void many_cells_updated(QVector<double> values, int cols, int rows);

public slots:
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void set_highlight_visible(bool visible);
    void keyPressEvent(QKeyEvent* event) override;
    void cut();
    void copy();
    void paste();
    void clear();
    void script();

private slots:
    void on_cellChanged(int row, int column);

protected:
    /// A typed value reaches its cell here: one undo step.
    void commitData(QWidget* editor) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void build();
    void make_header_font();
    QFrame* make_line(const char* name, bool vertical);
    void update_cell_color(QTableWidgetItem* item);
    bool color_by_coverage(QTableWidgetItem* cell);
    void place_highlight();
    void recolor_all();
    void set_cell(int row, int column, const QString& text);
    void announce_cells();
    int block_offset(int row, int column) const;
    int highlight_x_for(quint16 rpm, double cw) const;
    int highlight_y_for(double value, double rh) const;
    QModelIndexList sorted_selection() const;
    bool paste_single(const QString& part);
    void paste_block(const QStringList& parts, int rows, int cols);
    void show_script_error(const QString& script, const QString& error);
    /// Runs one user edit and pushes what it changed as one undo step named `what`.
    void record_edit(const QString& what, const std::function<void()>& edit);
    void clear_selected();
    void paste_clipboard();
    void run_script(const QString& script);

    duty_table_delegate* delegate = nullptr;
    int highlight_y = 0;
    int highlight_x = 0;
    QFrame* vert_line = nullptr;
    QFrame* horz_line = nullptr;
    // A monotonic deadline, so that a change of the wall clock cannot freeze the lines.
    QDeadlineTimer next_highlight_update;
    // A position that came while the lines were resting is placed when the rest ends, so
    // that the lines never stay on an older one (the last frame of a run, a playback seek).
    QTimer* pending_highlight = nullptr;
    quint16 pending_rpm = 0;
    double pending_value = 0;
    QVector<cell_coverage> coverage;
    bool highlight_visible = false;
    QString last_script;
    QUndoStack* undo_stack = nullptr;
    QString undo_name;
    bool recording = false;
    QVector<QString> marks; // by row * columnCount + column
    int marked = 0;
};
