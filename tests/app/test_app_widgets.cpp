// SPDX-License-Identifier: GPL-3.0-or-later
// The small pieces the main window is built from: the vertical caption label and the
// message-box helper with its test answerer.
#include "box_answerer.h"
#include "message_box.h"
#include "vertical_label.h"

#include <QImage>
#include <QtTest>

class test_app_widgets : public QObject
{
    Q_OBJECT

private slots:
    void vertical_label_turns_its_hints();
    void vertical_label_reads_upwards();
    void answerer_sees_the_built_box();
    void answerer_is_removed_with_its_owner();
};

void test_app_widgets::vertical_label_turns_its_hints()
{
    VerticalLabel vertical("Boost Pressure (PSI)");
    QLabel plain("Boost Pressure (PSI)");
    QCOMPARE(vertical.sizeHint(), QSize(plain.sizeHint().height() + 5, plain.sizeHint().width()));
    QCOMPARE(vertical.minimumSizeHint(),
             QSize(plain.minimumSizeHint().height() + 5, plain.minimumSizeHint().width()));
    QVERIFY(vertical.sizeHint().height() > vertical.sizeHint().width());
}

/// Drawn upwards, the ink of a one-sided text sits in a tall narrow band; its first letter
/// at the bottom.
void test_app_widgets::vertical_label_reads_upwards()
{
    VerticalLabel label("MMMM....");
    label.setAlignment(Qt::AlignCenter);
    label.resize(label.sizeHint());
    QImage image(label.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    label.render(&image);

    int top = image.height(), bottom = -1, left = image.width(), right = -1;
    long ink_lower_half = 0, ink_upper_half = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) > 128)
                continue;
            top = qMin(top, y);
            bottom = qMax(bottom, y);
            left = qMin(left, x);
            right = qMax(right, x);
            (y > image.height() / 2 ? ink_lower_half : ink_upper_half) += 1;
        }
    }
    QVERIFY(bottom > top);
    QVERIFY(bottom - top > 2 * (right - left)); // tall, not wide
    QVERIFY(ink_lower_half > ink_upper_half);   // the heavy "MMMM" comes first, at the bottom
}

void test_app_widgets::answerer_sees_the_built_box()
{
    box_answerer answer;
    answer.press = QMessageBox::Cancel;
    const QMessageBox::StandardButton pressed = message_box::show(
        nullptr, QMessageBox::Warning, "WARNING: Turn your engine OFF!!",
        "Ensure the unit is powered.", QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    QCOMPARE(pressed, QMessageBox::Cancel);
    QCOMPARE(answer.boxes.size(), 1);
    const message_box::contents& box = answer.boxes.first();
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.text, QString("WARNING: Turn your engine OFF!!"));
    QCOMPARE(box.informative_text, QString("Ensure the unit is powered."));
    QCOMPARE(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.default_button, QMessageBox::Ok);

    message_box::show(nullptr, QMessageBox::Critical, "Error writing data to device", "");
    QCOMPARE(answer.boxes.size(), 2);
    QCOMPARE(answer.boxes.last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(answer.boxes.last().default_button, QMessageBox::NoButton);
}

void test_app_widgets::answerer_is_removed_with_its_owner()
{
    {
        box_answerer answer;
    }
    // With nobody answering, the box is shown for real; close it as a user would.
    QTimer::singleShot(0, [] {
        QWidget* box = QApplication::activeModalWidget();
        QVERIFY(box);
        QTest::keyClick(box, Qt::Key_Escape);
    });
    QCOMPARE(message_box::show(nullptr, QMessageBox::Question, "Reset the device?", "",
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No),
             QMessageBox::No);
}

QTEST_MAIN(test_app_widgets)
#include "test_app_widgets.moc"
