// The error trap: the report text and box, and how a procedure carries on after a failure.
#include "data/failure.h"
#include "test_support.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <memory>
#include <stdexcept>

namespace {

const QString kSupportRequest = QStringLiteral("Please email screenshot of this message to ");

void fail(const QString& description) {
    throw Failure(description);
}

// An untrapped callee: its failure is reported by the trapped caller.
int untrappedCallee(bool failing) {
    if (failing)
        fail(QStringLiteral("Subscript out of range"));
    return 7;
}

} // namespace

class TestErrorTrap : public QObject {
    Q_OBJECT

private slots:
    void theSupportAddressIsConfigured() {
        const QString address = QStringLiteral(QUORVANE_SUPPORT_EMAIL);
        QVERIFY(address.contains('@'));
        QVERIFY(!address.contains(' '));
    }

    void reportTextIsExact_data() {
        QTest::addColumn<QString>("object");
        QTest::addColumn<QString>("procedure");
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("location");
        QTest::newRow("load step") << "Form1"
                                   << "Form_Load"
                                   << "Could not find file 'dbData.mdb'." << 144
                                   << "in Quorvane2021/08/31.Form1.Form_Load ";
        QTest::newRow("delete") << "Form1"
                                << "PushButton3_Click"
                                << "no such table: Calls" << 104
                                << "in Quorvane2021/08/31.Form1.PushButton3_Click ";
        QTest::newRow("shutdown") << "Form1"
                                  << "Form_QueryUnload"
                                  << "Disk full" << 106
                                  << "in Quorvane2021/08/31.Form1.Form_QueryUnload ";
        QTest::newRow("editor") << "Form2"
                                << "LoadCustomers"
                                << "Type mismatch" << 1000
                                << "in Quorvane2021/08/31.Form2.LoadCustomers ";
        QTest::newRow("empty description") << "Form1"
                                           << "Form_Load"
                                           << "" << 100 << "in Quorvane2021/08/31.Form1.Form_Load ";
        QTest::newRow("description with line breaks")
            << "Form1"
            << "PushButton1_Click"
            << "first\r\nsecond" << 108 << "in Quorvane2021/08/31.Form1.PushButton1_Click ";
    }

    void reportTextIsExact() {
        QFETCH(QString, object);
        QFETCH(QString, procedure);
        QFETCH(QString, description);
        QFETCH(int, line);
        QFETCH(QString, location);
        ScriptedPrompts prompts;
        const QByteArray objectName = object.toLatin1();
        const QByteArray procedureName = procedure.toLatin1();
        {
            ErrorTrap trap(objectName.constData(), procedureName.constData());
            QCOMPARE(trap.location(), location);
            QVERIFY(!trap.run(line, [&] { fail(description); }));
            QCOMPARE(trap.failures(), 1);
        }
        // Shown by the time the procedure has ended.
        QCOMPARE(prompts.boxes.size(), size_t(1));
        const ShownBox& box = prompts.boxes.front();
        QCOMPARE(box.text, description + "\r\n" + location + "at line " + QString::number(line) +
                               "\r\r" + kSupportRequest + QStringLiteral(QUORVANE_SUPPORT_EMAIL));
        // The warning icon with a single OK button.
        QCOMPARE(box.style, 48);
        QCOMPARE(box.title, QStringLiteral("Application Error"));
        QCOMPARE(ErrorReportText(description, location, line), box.text);
    }

    void anyRunTimeFailureIsReported() {
        ScriptedPrompts prompts;
        {
            ErrorTrap trap("Form1", "PushButton6_Click");
            trap.run(100, [] { throw std::out_of_range("index out of range"); });
            trap.run(102, [] { (void)untrappedCallee(true); });
        }
        QCOMPARE(prompts.texts(),
                 QStringList({"index out of range\r\nin Quorvane2021/08/31.Form1.PushButton6_Click "
                              "at line 100\r\r" +
                                  kSupportRequest + QUORVANE_SUPPORT_EMAIL,
                              "Subscript out of range\r\nin "
                              "Quorvane2021/08/31.Form1.PushButton6_Click at line 102\r\r" +
                                  kSupportRequest + QUORVANE_SUPPORT_EMAIL}));
    }

    void aStatementThatSucceedsShowsNothing() {
        ScriptedPrompts prompts;
        ErrorTrap trap("Form1", "Form_Load");
        int value = 0;
        QVERIFY(trap.run(100, [&] { value = untrappedCallee(false); }));
        QCOMPARE(value, 7);
        QVERIFY(!trap.test(102, [] { return false; }));
        QVERIFY(trap.test(104, [] { return true; }));
        QVERIFY(prompts.boxes.empty());
        QCOMPARE(trap.failures(), 0);
    }

    void aFailingTestEntersItsBlock() {
        ScriptedPrompts prompts;
        QStringList ran;
        // As the load step does: if the folder is missing, create it.
        {
            ErrorTrap trap("Form1", "Form_Load");
            if (trap.test(100, [&]() -> bool {
                    fail(QStringLiteral("Bad file name or number"));
                    return false;
                }))
                trap.run(102, [&] { ran << "102"; });
            else
                trap.run(104, [&] { ran << "104"; });
            trap.run(106, [&] { ran << "106"; });
        }
        QCOMPARE(ran, QStringList({"102", "106"}));
        QCOMPARE(prompts.boxes.size(), size_t(1));
        QVERIFY(prompts.boxes.front().text.startsWith(
            "Bad file name or number\r\nin Quorvane2021/08/31.Form1.Form_Load at line 100\r\r"));
    }

    void twoFailuresShowTwoBoxesInOrderAndTheProcedureFinishes() {
        ScriptedPrompts prompts;
        QStringList ran;
        auto trap = std::make_unique<ErrorTrap>("Form1", "PushButton3_Click");
        trap->run(100, [&] {
            ran << "100";
            fail(QStringLiteral("first failure"));
            ran << "100 after the failure";
        });
        trap->run(102, [&] { ran << "102"; });
        trap->run(104, [&] {
            ran << "104";
            fail(QStringLiteral("second failure"));
        });
        trap->run(106, [&] { ran << "106"; });
        QCOMPARE(ran, QStringList({"100", "102", "104", "106"}));
        QCOMPARE(trap->failures(), 2);
        // The first box is up when the second failure comes; the second when the procedure ends.
        QCOMPARE(prompts.boxes.size(), size_t(1));
        trap.reset();
        QCOMPARE(prompts.boxes.size(), size_t(2));
        QVERIFY(prompts.boxes[0].text.startsWith(
            "first failure\r\nin Quorvane2021/08/31.Form1.PushButton3_Click at line 100\r\r"));
        QVERIFY(prompts.boxes[1].text.startsWith(
            "second failure\r\nin Quorvane2021/08/31.Form1.PushButton3_Click at line 104\r\r"));
    }

    void aLoopGoesOnAfterAFailingStatement() {
        ScriptedPrompts prompts;
        QStringList saved;
        {
            ErrorTrap trap("Form1", "Form_QueryUnload");
            for (int position = 1; position <= 4; ++position) {
                trap.run(102, [&] {
                    if (position % 2 == 0)
                        fail("cannot save " + QString::number(position));
                    saved << QString::number(position);
                });
            }
            trap.run(106, [&] { saved << "state"; });
        }
        QCOMPARE(saved, QStringList({"1", "3", "state"}));
        QCOMPARE(prompts.boxes.size(), size_t(2));
        QVERIFY(prompts.boxes[0].text.startsWith("cannot save 2\r\n"));
        QVERIFY(prompts.boxes[1].text.startsWith("cannot save 4\r\n"));
        for (const ShownBox& box : prompts.boxes)
            QVERIFY(box.text.contains("Form_QueryUnload at line 102\r\r"));
    }

    void quietSectionsSkipFailuresWithoutABox() {
        ScriptedPrompts prompts;
        QStringList ran;
        QVERIFY(!Quietly([&] {
            ran << "before";
            fail(QStringLiteral("ignored"));
            ran << "after";
        }));
        QVERIFY(!Quietly([] { throw std::runtime_error("ignored too"); }));
        QVERIFY(Quietly([&] { ran << "fine"; }));
        QCOMPARE(ran, QStringList({"before", "fine"}));
        QVERIFY(prompts.boxes.empty());
    }

    // The real box: a warning with OK only, titled "Application Error", lines broken where
    // the report breaks them.
    void theBoxOffersOnlyOk() {
        InstallPrompts(nullptr);
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen = true;
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            for (QAbstractButton* button : box->buttons())
                buttons << button->text();
            box->button(QMessageBox::Ok)->click();
        });
        {
            ErrorTrap trap("Form1", "Form_Load");
            trap.run(144, [] { fail(QStringLiteral("Could not find file")); });
        }
        QVERIFY(seen);
        QCOMPARE(title, QStringLiteral("Application Error"));
        QCOMPARE(icon, QMessageBox::Warning);
        QCOMPARE(buttons.size(), 1);
        QVERIFY(!text.contains('\r'));
        QVERIFY(text.startsWith(
            "Could not find file\nin Quorvane2021/08/31.Form1.Form_Load at line 144\n\n"));
        QVERIFY(text.endsWith(QStringLiteral(QUORVANE_SUPPORT_EMAIL)));
    }
};

QTEST_MAIN(TestErrorTrap)
#include "test_error_trap.moc"
