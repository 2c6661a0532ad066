// SPDX-License-Identifier: GPL-3.0-or-later
// The Help menu of the real window: F1 opens the user guide at the section of the page shown,
// wherever the focus is but never from under a modal dialog; About tells the version and the
// connected unit; and a box's Help button opens its section without answering the box.
#include "about_box.h"
#include "duty_table.h"
#include "guide_index.h"
#include "guide_sections.h"
#include "help_browser.h"
#include "message_box.h"
#include "modal_driver.h"
#include "settings_wizard.h"
#include "window_fixture.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBrowser>
#include <QtTest>

class test_mainwindow_help : public QObject, public window_fixture
{
    Q_OBJECT

private slots:
    void init() { start(); }
    void cleanup()
    {
        stop();
        QVERIFY(guides().isEmpty()); // the guide goes with its window
    }

    void f1_opens_the_section_of_the_page_shown();
    void about_tells_the_version_and_the_unit();
    void help_in_a_box_leaves_the_answer_to_the_user();
    void the_settings_wizard_opens_its_section();

private:
    /// Every guide window open or hidden; the window makes at most one.
    static QList<help_browser*> guides();
};

QList<help_browser*> test_mainwindow_help::guides()
{
    QList<help_browser*> found;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* guide = qobject_cast<help_browser*>(top))
            found << guide;
    return found;
}

void test_mainwindow_help::f1_opens_the_section_of_the_page_shown()
{
    const struct
    {
        const char* page;
        QString section;
    } pages[] = {{"main", guide_sections::table_pages}, {"gpo2", guide_sections::gpo_pages}};
    for (const auto& shown : pages) {
        w<QTabWidget>("main_tab")->setCurrentWidget(w<QWidget>(shown.page));
        auto* table = w<duty_table>(qPrintable(QString(shown.page) + "_table"));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        table->setFocus();
        QTest::keyClick(table, Qt::Key_F1);
        QCOMPARE(guides().size(), 1);
        QVERIFY(guides().first()->isVisible());
        QCOMPARE(guides().first()->current_url(), guide_index().url_of(shown.section));
    }

    // Under a modal dialog F1 is the dialog's: the guide stays closed.
    guides().first()->close();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    modal_driver<QMessageBox> user([](QMessageBox* box) {
        QTest::keyClick(box, Qt::Key_F1);
        box->button(QMessageBox::Ok)->click();
    });
    message_box::show(window.get(), QMessageBox::Information, "A box without help", QString());
    QCOMPARE(user.seen, 1);
    QVERIFY(!guides().first()->isVisible());
}

void test_mainwindow_help::about_tells_the_version_and_the_unit()
{
    QStringList shown;
    modal_driver<about_box> user([&](about_box* about) {
        shown << child<QLabel>(about, "about_program")->text() + "\n" +
                     child<QLabel>(about, "about_unit")->text();
        about->reject();
    });
    w<QAction>("act_about")->trigger();
    connect_unit();
    w<QAction>("act_about")->trigger();
    QCOMPARE(shown.size(), 2);
    QVERIFY(shown[0].contains("Quorvane " + QCoreApplication::applicationVersion()));
    QVERIFY(shown[0].contains("No unit is connected."));
    QVERIFY2(shown[1].contains("Model: RQ7-NVS<br>Serial number: RQ7SIM01<br>Firmware: 2.1"),
             qPrintable(shown[1]));
}

/// Help on the question before writing over an unread unit: the box stays open and the guide
/// can be read meanwhile; Cancel then still sends nothing, Write still writes.
void test_mainwindow_help::help_in_a_box_leaves_the_answer_to_the_user()
{
    connect_unit();
    w<QSpinBox>("main_min_duty")->setValue(25);
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    QStringList seen;
    modal_driver<QMessageBox> user([&](QMessageBox* box) {
        box->button(QMessageBox::Help)->click();
        help_browser* guide = guides().value(0);
        if (!box->isVisible() || !guide) {
            box->done(0); // seen stays short
            return;
        }
        auto* page = child<QTextBrowser>(guide, "help_page");
        page->verticalScrollBar()->setValue(0);
        page->setFocus();
        QTest::keyClick(guide->windowHandle(), Qt::Key_End);
        seen << guide->current_url().fragment() +
                    (page->verticalScrollBar()->value() > 0 ? " read" : " blocked");
        if (box->button(QMessageBox::Cancel)) {
            box->button(answer)->click();
            return;
        }
        // A box whose only answer was OK still closes with Escape.
        QTest::keyClick(box, Qt::Key_Escape);
        if (box->isVisible()) {
            seen << "Escape ignored";
            box->button(QMessageBox::Ok)->click();
        }
    });

    w<QAction>("act_write")->trigger(); // returns once the box is answered
    QTest::qWait(300);
    QVERIFY(sim->unit->received_frames().isEmpty());
    QVERIFY(window->changes_are_pending());

    answer = QMessageBox::Ok;
    w<QAction>("act_write")->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(sim->unit->table(1), window->gui_to_byteArray(t_main), 15000);

    // The tables know nothing of the guide, but their script error box opens it too.
    auto* table = w<duty_table>("main_table");
    table->setCurrentCell(3, 3);
    table->apply_script("nothing_here;");
    QCOMPARE(user.seen, 3);
    QCOMPARE(seen, (QStringList{guide_sections::nothing_read + " read",
                                guide_sections::nothing_read + " read",
                                guide_sections::script_errors + " read"}));
    QCOMPARE(guides().size(), 1);
}

/// The wizard's Help shows its section and leaves the wizard open; nothing is changed.
void test_mainwindow_help::the_settings_wizard_opens_its_section()
{
    const QString main_cell = w<duty_table>("main_table")->item(3, 3)->text();
    bool open_after_help = false;
    modal_driver<settings_wizard> user([&](settings_wizard* wizard) {
        child<QDialogButtonBox>(wizard, "button_box")->button(QDialogButtonBox::Help)->click();
        open_after_help = wizard->isVisible();
        wizard->reject();
    });
    w<QPushButton>("btn_settings_wizard")->click();
    QCOMPARE(user.seen, 1);
    QVERIFY(open_after_help);
    QCOMPARE(guides().size(), 1);
    QCOMPARE(guides().first()->current_url(), guide_index().url_of(guide_sections::wizard));
    QCOMPARE(w<duty_table>("main_table")->item(3, 3)->text(), main_cell);
}

QTEST_MAIN(test_mainwindow_help)
#include "test_mainwindow_help.moc"
