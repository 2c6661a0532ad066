// SPDX-License-Identifier: GPL-3.0-or-later
// The user guide as the program shows it: every page read, every link and picture leading
// somewhere real, every section the program opens present, the help window opening at a
// section and following links; and the About box telling the version `quorvane --version`
// tells, and the connected unit.
#include "about_box.h"
#include "guide_index.h"
#include "guide_sections.h"
#include "help_browser.h"

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QXmlStreamReader>
#include <QtTest>

class test_help : public QObject
{
    Q_OBJECT

private slots:
    void every_page_is_read_once();
    void every_link_and_picture_resolves();
    void every_section_the_program_opens_exists();
    void browser_opens_at_a_section();
    void browser_follows_links();
    void about_shows_the_version_the_program_reports();
    void about_shows_the_unit_and_the_libraries();
};

namespace {

/// Object names of the main window's pages, as the form lays them out.
QStringList form_page_names()
{
    QFile form(QUORVANE_FORM);
    if (!form.open(QIODevice::ReadOnly))
        return {};
    // The pages are the widgets one level inside the tab widget main_tab.
    QStringList names;
    QXmlStreamReader xml(&form);
    int tab_depth = -1, depth = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            if (xml.name() != QLatin1String("widget"))
                continue;
            const QString name = xml.attributes().value("name").toString();
            if (name == "main_tab")
                tab_depth = depth;
            else if (tab_depth > 0 && depth == tab_depth + 1)
                names << name;
        } else if (xml.isEndElement()) {
            if (depth == tab_depth)
                tab_depth = -1;
            --depth;
        }
    }
    return names;
}

} // namespace

void test_help::every_page_is_read_once()
{
    const guide_index guide;
    QVERIFY(guide.missing_pages().isEmpty());
    // A page in the resources but not in the reading order would have no place in the contents.
    QStringList listed;
    for (const QUrl& page : guide_index::pages())
        listed << page.fileName();
    QStringList shipped = QDir(":/guide").entryList({"*.html"});
    listed.sort();
    shipped.sort();
    QCOMPARE(listed, shipped);
    // One chapter title per page, each with sections below it.
    for (const QUrl& page : guide_index::pages()) {
        int chapters = 0, sections = 0;
        for (const guide_index::heading& h : guide.headings()) {
            if (h.page == page)
                (h.level == 1 ? chapters : sections) += 1;
        }
        QVERIFY2(chapters == 1, qPrintable(page.toString()));
        QVERIFY2(sections > 0 || page.fileName() == "licence.html", qPrintable(page.toString()));
    }
    QVERIFY2(guide.repeated_anchors().isEmpty(), qPrintable(guide.repeated_anchors().join(", ")));
}

void test_help::every_link_and_picture_resolves()
{
    const guide_index guide;
    QVERIFY(guide.references().size() > 50);
    int pictures = 0;
    for (const guide_index::reference& ref : guide.references()) {
        const QUrl target = ref.page.resolved(QUrl(ref.target));
        const QString where = ref.page.fileName() + ": " + ref.target;
        if (ref.picture) {
            ++pictures;
            QVERIFY2(target.scheme() == "qrc", qPrintable(where));
            QVERIFY2(!QImage(":" + target.path()).isNull(), qPrintable(where));
            continue;
        }
        // The guide is read before anything is installed, often without a network.
        QVERIFY2(target.scheme() == "qrc", qPrintable(where));
        QVERIFY2(guide.has_anchor(target, target.fragment()), qPrintable(where));
    }
    QCOMPARE(pictures, 7);
}

void test_help::every_section_the_program_opens_exists()
{
    const guide_index guide;
    for (const QString& section : guide_sections::all())
        QVERIFY2(!guide.url_of(section).isEmpty(), qPrintable(section));
    // F1 on each page of the window opens a section of its own.
    const QStringList pages = form_page_names();
    QCOMPARE(pages.size(), 7);
    for (const QString& page : pages)
        QVERIFY2(guide_sections::of_page(page) != guide_sections::start, qPrintable(page));
}

void test_help::browser_opens_at_a_section()
{
    help_browser help;
    auto* page = help.findChild<QTextBrowser*>("help_page");
    auto* contents = help.findChild<QTreeWidget*>("help_contents");
    QCOMPARE(help.current_url(), guide_index::start_page());

    QVERIFY(help.show_section(guide_sections::script_errors));
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    QCOMPARE(help.current_url(), help.index().url_of(guide_sections::script_errors));
    QCOMPARE(contents->currentItem()->text(0), QString("Errors and the time limit"));
    // Far down its page: the browser has scrolled there.
    QVERIFY(page->verticalScrollBar()->value() > 0);

    // The same section again after the reader scrolled away: back to it.
    const int at_section = page->verticalScrollBar()->value();
    page->verticalScrollBar()->setValue(0);
    QVERIFY(help.show_section(guide_sections::script_errors));
    QCOMPARE(page->verticalScrollBar()->value(), at_section);

    // A contents entry opens its section.
    QTreeWidgetItem* chapter = contents->topLevelItem(contents->topLevelItemCount() - 1);
    contents->setCurrentItem(chapter);
    emit contents->itemClicked(chapter, 0);
    QCOMPARE(help.current_url().fileName(), QString("licence.html"));

    QVERIFY(!help.show_section("no-such-section"));
    QCOMPARE(help.current_url(), guide_index::start_page());
}

/// The first link of the start page taken from the keyboard, as a reader without a mouse does.
void test_help::browser_follows_links()
{
    help_browser help;
    help.show();
    QVERIFY(QTest::qWaitForWindowExposed(&help));
    auto* page = help.findChild<QTextBrowser*>("help_page");
    page->setFocus();
    QTest::keyClick(page, Qt::Key_Tab);
    QTest::keyClick(page, Qt::Key_Return);
    QCOMPARE(help.current_url(), QUrl("qrc:/guide/settings.html#read"));
    QCOMPARE(help.findChild<QTreeWidget*>("help_contents")->currentItem()->text(0),
             QString("Reading from the unit"));
}

void test_help::about_shows_the_version_the_program_reports()
{
    QProcess program;
    program.start(QUORVANE_PROGRAM, {"--version"});
    QVERIFY(program.waitForFinished(30000));
    const QString reported = QString::fromUtf8(program.readAllStandardOutput()).trimmed();
    QVERIFY2(reported.startsWith("Quorvane "), qPrintable(reported));

    about_box about;
    QVERIFY(
        about.findChild<QLabel*>("about_program")->text().contains("<h2>" + reported + "</h2>"));
}

void test_help::about_shows_the_unit_and_the_libraries()
{
    about_box about;
    auto* unit = about.findChild<QLabel*>("about_unit");
    QVERIFY(unit->text().contains("No unit is connected."));
    about.show_unit("RQ7SIM00042", 0x021a, variant_nv);
    QVERIFY(unit->text().contains("Model: RQ7-NV<"));
    QVERIFY(unit->text().contains("Serial number: RQ7SIM00042"));
    QVERIFY(unit->text().contains("Firmware: 2.1a (0x021a)")); // as the status bar words it
    about.show_unit("RQ7SIM00042", 0, variant_nvs);
    QVERIFY(unit->text().contains("bootloader"));
    QVERIFY(!unit->text().contains("RQ7-NVS")); // the bootloader does not say which it is
    about.show_no_unit();
    QVERIFY(unit->text().contains("No unit is connected."));

    const QString libraries = about.findChild<QLabel*>("about_libraries")->text();
    for (const char* named : {"Qt", "Qt Script", "Qwt License 1.0", "MathGL",
                              "GNU GPL 2.0 or later as Debian ships it", "libudev"})
        QVERIFY2(libraries.contains(named), named);
    QVERIFY(about.findChild<QLabel*>("about_licence")->text().contains("GPL-3.0-or-later"));
}

QTEST_MAIN(test_help)
#include "test_help.moc"
