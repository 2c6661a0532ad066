// SPDX-License-Identifier: GPL-3.0-or-later
#include "help_panel.h"
#include "ui_mainwindow.h"

#include "about_box.h"
#include "connect_slots_by_name.h"
#include "connection_panel.h"
#include "duty_table.h"
#include "guide_sections.h"
#include "help_browser.h"

#include <QMainWindow>
#include <QPointer>

help_panel::help_panel(Ui::MainWindow& ui, QMainWindow* window_,
                       const connection_panel& connection_, QObject* parent)
    : QObject(parent)
    , window(window_)
    , pages(ui.main_tab)
    , connection(connection_)
{
    setObjectName("help_panel");
    connect_slots_by_name(this, window);
    // The tables know nothing of the guide; their script error boxes ask for it.
    const QPointer<help_panel> self(this);
    for (duty_table* table : window->findChildren<duty_table*>())
        table->open_script_help = [self] {
            if (self)
                self->show_section(guide_sections::script_errors);
        };
}

help_panel::~help_panel() = default;

help_panel* help_panel::of(QWidget* widget)
{
    for (QWidget* at = widget; at; at = at->parentWidget())
        if (auto* panel = at->findChild<help_panel*>(QString(), Qt::FindDirectChildrenOnly))
            return panel;
    return nullptr;
}

void help_panel::show_section(const QString& section)
{
    if (!guide) {
        // A window of its own rather than the main window's child: the boxes that open it wait
        // modally over the main window, which would block the guide with it.
        guide = std::make_unique<help_browser>();
        guide->setAttribute(Qt::WA_QuitOnClose, false);
        guide->setWindowIcon(window->windowIcon());
    }
    guide->show_section(section);
}

void help_panel::on_act_user_guide_triggered()
{
    show_section(guide_sections::of_page(pages->currentWidget()->objectName()));
}

void help_panel::on_act_about_triggered()
{
    about_box about(window);
    if (connection.is_connected())
        about.show_unit(connection.serial_number(), connection.firmware_version(),
                        connection.model());
    about.exec();
}
