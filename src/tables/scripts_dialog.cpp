// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripts_dialog.h"
#include "ui_scripts_dialog.h"

namespace {

// Each template replaces the whole editor text; the user edits it before running it.
const char* const help_text = "// Super-simple scripting based on javascript.\n"
                              "// Script gets applied to each cell in the current selection.\n"
                              "// Variables you can use:\n"
                              "//    old : Current cell value\n"
                              "//    abs_row : Current row of the cell in the table (0-15)\n"
                              "//    abs_col : Current column of the cell in the table (0-15)\n"
                              "//    sel_row : Current row of the cell in the selection (0-15)\n"
                              "//    sel_col : Current column of the cell in the selection (0-15)\n"
                              "//    sel_num_rows : Number of rows in the selection (1-16)\n"
                              "//    sel_num_cols : Number of columns in the selection (1-16)\n"
                              "// The new cell value will simply be the result of a statement:\n"
                              "\n"
                              "old + 25;\n"
                              "\n"
                              "// Which will add 25 to each cell in the current selection.\n"
                              "\n"
                              "// Available Math constants:\n"
                              "//    Math.E\n"
                              "//    Math.LN10\n"
                              "//    Math.LN2\n"
                              "//    Math.LOG2E\n"
                              "//    Math.LOG10E\n"
                              "//    Math.PI\n"
                              "//    Math.SQRT1_2\n"
                              "//    Math.SQRT2\n"
                              "// Available Math functions:\n"
                              "//    Math.abs(x)\n"
                              "//    Math.acos(x)\n"
                              "//    Math.asin(x)\n"
                              "//    Math.atan(x)\n"
                              "//    Math.atan2(y, x)\n"
                              "//    Math.ceil(x)\n"
                              "//    Math.cos(x)\n"
                              "//    Math.exp(x)\n"
                              "//    Math.floor(x)\n"
                              "//    Math.log(x)\n"
                              "//    Math.max([value1 [, value2 [, ...]]])\n"
                              "//    Math.min([value1 [, value2 [, ...]]])\n"
                              "//    Math.pow(x, y)\n"
                              "//    Math.random()\n"
                              "//    Math.round(x)\n"
                              "//    Math.sin(x)\n"
                              "//    Math.sqrt(x)\n"
                              "//    Math.tan(x)\n";

const char* const add_text = "// Replace the + with a - to subtract\n"
                             "// instead of add\n"
                             "old + 25;";

const char* const multiply_text = "// Use *1.25 to 'add' 25% to the value\n"
                                  "// Or *0.85 to minus 15% from the value\n"
                                  "old * 2;";

const char* const divide_text = "old / 2;";

const char* const invert_text = "// Inverts cells, so 100 becomes 0 and so on\n"
                                "Math.abs(old-100);";

const char* const h_gradient_text =
    "// To increase left-to-right, set left_to_right = true\n"
    "// To decrease left-to-right, set left_to_right = false\n"
    "var min = 0;\n"
    "var max = 100;\n"
    "var left_to_right = true;\n"
    "\n"
    "var run = sel_num_cols - 1;\n"
    "var slope = (left_to_right ? ((max-min)/run) : ((min-max)/run));\n"
    "var intercept = (left_to_right ? (min) : (max));\n"
    "// classic line eq: y = slope*x + intercept\n"
    "(slope * sel_col) + intercept;\n";

const char* const v_gradient_text =
    "// To increase bottom-to-top, set bottom_to_top = true\n"
    "// To decrease bottom-to-top, set bottom_to_top = false\n"
    "var min = 0;\n"
    "var max = 100;\n"
    "var bottom_to_top = true;\n"
    "\n"
    "var run = sel_num_rows - 1;\n"
    "var slope = (bottom_to_top ? ((min-max)/run) : ((max-min)/run));\n"
    "var intercept = (bottom_to_top ? (max) : (min));\n"
    "// classic line eq: y = slope*x + intercept\n"
    "(slope * sel_row) + intercept;\n";

const char* const hv_gradient_text = "// To increase bottom-to-top, set bottom_to_top = true\n"
                                     "// To decrease bottom-to-top, set bottom_to_top = false\n"
                                     "// To increase left-to-right, set left_to_right = true\n"
                                     "// To decrease left-to-right, set left_to_right = false\n"
                                     "var min = 0;\n"
                                     "var max = 100;\n"
                                     "var bottom_to_top = true;\n"
                                     "var left_to_right = true;\n"
                                     "\n"
                                     "var x1 = (left_to_right ? 0 : (sel_num_cols-1) )\n"
                                     "var x2 = (left_to_right ? (sel_num_cols-1) : 0)\n"
                                     "var a = x2 - x1;\n"
                                     "\n"
                                     "var y1 = (bottom_to_top ? (sel_num_rows-1) : 0)\n"
                                     "var y2 = (bottom_to_top ? 0 : (sel_num_rows-1) )\n"
                                     "var b = y2 - y1;\n"
                                     "\n"
                                     "var c1 = a*x1 + b*y1;\n"
                                     "var c2 = a*x2 + b*y2;\n"
                                     "var c = a*sel_col + b*sel_row;\n"
                                     "\n"
                                     "(min*(c2-c) + max*(c-c1)) / (c2-c1)\n";
} // namespace

scripts_dialog::scripts_dialog(QWidget* parent, QString initial)
    : QDialog(parent)
    , ui(new Ui::scripts_dialog)
{
    ui->setupUi(this);
    if (initial.isEmpty())
        set_text(help_text);
    else
        ui->script_text->setPlainText(initial);
}

scripts_dialog::~scripts_dialog()
{
    delete ui;
}

QString scripts_dialog::get_script() const
{
    return ui->script_text->document()->toPlainText();
}

void scripts_dialog::set_text(const char* text)
{
    ui->script_text->setPlainText(QString::fromUtf8(text));
}

void scripts_dialog::on_help_clicked()
{
    set_text(help_text);
}

void scripts_dialog::on_add_clicked()
{
    set_text(add_text);
}

void scripts_dialog::on_multiply_clicked()
{
    set_text(multiply_text);
}

void scripts_dialog::on_divide_clicked()
{
    set_text(divide_text);
}

void scripts_dialog::on_blank_clicked()
{
    ui->script_text->clear();
}

void scripts_dialog::on_invert_clicked()
{
    set_text(invert_text);
}

void scripts_dialog::on_h_gradient_clicked()
{
    set_text(h_gradient_text);
}

void scripts_dialog::on_v_gradient_clicked()
{
    set_text(v_gradient_text);
}

void scripts_dialog::on_hv_gradient_clicked()
{
    set_text(hv_gradient_text);
}
