// SPDX-License-Identifier: GPL-3.0-or-later
// The Help menu: the user guide (F1 opens it at the section of the page shown) and the About
// box with the connected unit. The guide's window is made on first use and raised after; the
// window's message boxes open it at their section through their Help button.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace Ui {
class MainWindow;
}
class QMainWindow;
class QTabWidget;
class connection_panel;
class help_browser;

class help_panel : public QObject
{
    Q_OBJECT

public:
    help_panel(Ui::MainWindow& ui, QMainWindow* window, const connection_panel& connection,
               QObject* parent);
    ~help_panel() override;

    /// The panel of the main window that `widget` belongs to; null outside a main window.
    static help_panel* of(QWidget* widget);

    /// Shows the guide at a section (a name of guide_sections.h).
    void show_section(const QString& section);

private slots:
    void on_act_user_guide_triggered();
    void on_act_about_triggered();

private:
    QMainWindow* window;
    QTabWidget* pages;
    const connection_panel& connection;
    std::unique_ptr<help_browser> guide;
};
