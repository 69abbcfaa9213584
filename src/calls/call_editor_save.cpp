// Saving and cancelling in the call editor.

#include "calls/call_editor.h"

#include "calls/call_references.h"
#include "calls/combo_lists.h"
#include "data/date_text.h"
#include "data/server_failure.h"
#include "data/shared_connection.h"
#include "ui/changed_elsewhere.h"
#include "ui/discard_guard.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"
#include "ui/record_messages.h"

#include "ui/date_picker.h"
#include <QComboBox>

#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <functional>
#include <optional>

namespace {

// Runs `work` in one transaction of the shared connection: committed when it returns, rolled
// back when it throws (the failure is thrown on).
void inOneTransaction(const std::function<void()>& work) {
    Connection& connection = SharedConnection();
    connection.beginTransaction();
    try {
        work();
        connection.commit();
    } catch (...) {
        try {
            connection.rollback();
        } catch (...) {
        }
        throw;
    }
}

} // namespace

namespace {

// The one message for a date box whose text is not a date.
QString notADate(const QString& field, bool mayBeEmpty) {
    return QStringLiteral("%1 is not a date: type a date such as %2%3")
        .arg(field, DateText::format(DateText::today()),
             mayBeEmpty ? QStringLiteral(", or leave it empty.") : QStringLiteral("."));
}

// A picked date as the statement carries it: in the locale's form, or on a server in the
// stored form, which the server keeps as it is without reading it as the desk writes dates.
QString dateText(const QDate& date) {
    if (SharedConnection().server())
        return DateText::toStored(QDateTime(date, QTime(0, 0)));
    return DateText::format(date);
}

} // namespace

void Form2::PushButton1_Click() {
    ErrorTrap trap("Form2", "PushButton1_Click");
    trap.run(100, [&] { reject(); });
}

QString Form2::callStatement(const QString& resolvedBy, const QString& resolvedDate,
                             const QString& callTime) const {
    const QString title = DoubledQuotes(Text1->text());
    const QString assignedTo = QString::number(IdAt(m_EmployeeIDs, Combo1->currentIndex()));
    const QString openedBy = QString::number(IdAt(m_EmployeeIDs, Combo2->currentIndex()));
    const QString caller = QString::number(IdAt(m_CustomerIDs, Combo6->currentIndex()));
    const QString openedDate = dateText(DateTimePicker1->date());
    const QString dueDate = dateText(DateTimePicker2->date());
    const QString status = DoubledQuotes(Combo3->currentText());
    const QString category = DoubledQuotes(Combo4->currentText());
    const QString priority = DoubledQuotes(Combo5->currentText());
    const QString comments = DoubledQuotes(Text3->exactText());
    if (!m_ID.isEmpty())
        return QStringLiteral("update Calls set Title='") + title +
               QStringLiteral("',[Assigned To]=") + assignedTo + QStringLiteral(",[Opened By]=") +
               openedBy + QStringLiteral(",[Opened Date]='") + openedDate +
               QStringLiteral("',Status='") + status + QStringLiteral("',Category='") + category +
               QStringLiteral("',Priority='") + priority + QStringLiteral("',Comments='") +
               comments + QStringLiteral("',[Due Date]='") + dueDate +
               QStringLiteral("',[Resolved By]=") + resolvedBy +
               QStringLiteral(",[Resolved Date]=") + resolvedDate + QStringLiteral(",Caller=") +
               caller + QStringLiteral(",[Call Time]='") + callTime +
               QStringLiteral("' where ID=") + m_ID;
    return QStringLiteral("insert into Calls (Title,[Assigned To],[Opened By],[Opened Date],"
                          "Status,Category,Priority,Comments,[Due Date],[Resolved By],"
                          "[Resolved Date],Caller,[Call Time]) values ('") +
           title + QStringLiteral("',") + assignedTo + QStringLiteral(",") + openedBy +
           QStringLiteral(",'") + openedDate + QStringLiteral("','") + status +
           QStringLiteral("','") + category + QStringLiteral("','") + priority +
           QStringLiteral("','") + comments + QStringLiteral("','") + dueDate +
           QStringLiteral("',") + resolvedBy + QStringLiteral(",") + resolvedDate +
           QStringLiteral(",") + caller + QStringLiteral(",'") + callTime + QStringLiteral("')");
}

void Form2::PushButton2_Click() {
    ErrorTrap trap("Form2", "PushButton2_Click");
    const bool editing = !m_ID.isEmpty();
    // A date still being typed into a picker counts.
    DateTimePicker1->commitTyping();
    DateTimePicker2->commitTyping();

    // The entries a call cannot do without, in the order they are asked for.
    const struct {
        std::function<bool()> missing;
        const char* message;
        QWidget* focus;
    } checks[] = {
        {[&] { return Text1->text().trimmed().isEmpty(); }, "You forgot to input Title.", Text1},
        {[&] { return Combo1->currentIndex() < 0; }, "You forgot to select Assigned To.", Combo1},
        {[&] { return Combo2->currentIndex() < 0; }, "You forgot to select Opened By.", Combo2},
        {[&] { return Combo6->currentIndex() < 0; }, "You forgot to select Caller.", Combo6},
        {[&] { return Combo3->currentIndex() < 0; }, "You forgot to select Status.", Combo3},
        {[&] { return Combo4->currentIndex() < 0; }, "You forgot to select Category.", Combo4},
        {[&] { return Combo5->currentIndex() < 0; }, "You forgot to select Priority.", Combo5},
    };
    int line = 100;
    for (const auto& check : checks) {
        if (trap.test(line, check.missing)) {
            trap.run(line + 2, [&] {
                MsgBox(QLatin1String(check.message));
                check.focus->setFocus();
            });
            return;
        }
        line += 4;
    }

    // A picker holding typed text that is no date is refused, like the resolved date: the date
    // it showed before is not saved in its place.
    for (DatePicker* picker : {DateTimePicker1, DateTimePicker2}) {
        if (!trap.test(128, [&] { return !picker->commitTyping(); }))
            continue;
        trap.run(130, [&] {
            MsgBox(::notADate(picker == DateTimePicker1 ? QStringLiteral("Opened Date")
                                                        : QStringLiteral("Due Date"),
                              false));
            picker->setFocus();
        });
        return;
    }

    QString resolvedDate;
    QString resolvedBy;
    QString callTime;
    QString statement;
    // An empty resolved date is Null; one that is not a date is refused, not dropped: the
    // person typed a resolution and must not be told that it was saved.
    bool notADate = false;
    trap.run(132, [&] {
        const QString typed = Text4->text();
        notADate = !typed.trimmed().isEmpty() && !DateText::isDate(typed);
        resolvedDate = typed.trimmed().isEmpty() || notADate
                           ? QStringLiteral("NULL")
                           : QLatin1Char('\'') + typed + QLatin1Char('\'');
    });
    if (notADate) {
        trap.run(134, [&] {
            MsgBox(::notADate(QStringLiteral("Resolved Date"), true));
            Text4->setFocus();
        });
        return;
    }
    trap.run(136, [&] {
        resolvedBy = Combo7->currentIndex() < 0
                         ? QStringLiteral("NULL")
                         : QLatin1Char('\'') +
                               QString::number(IdAt(m_EmployeeIDs, Combo7->currentIndex())) +
                               QLatin1Char('\'');
    });
    trap.run(138, [&] { callTime = dateText(DateText::today().date()); });
    if (!trap.run(140, [&] { statement = callStatement(resolvedBy, resolvedDate, callTime); }))
        return;

    // A statement that fails has written nothing: the window stays open with every entry.
    m_lastStatement = statement;
    // An edited call is written only over the version the editor read, unless the person
    // chooses to save over what someone else saved meanwhile.
    SaveOutcome outcome = SaveOutcome::Saved;
    // What the call names is checked in the transaction that writes it.
    std::optional<MissingReference> missing;
    // The rows that the statement wrote (a merge may write fewer fields after it, or none).
    int written = 0;
    if (!trap.run(142, [&] {
            const auto write = [&] {
                CheckCallReferences(*this);
                SharedConnection().execute(statement);
                written = SharedConnection().rowsAffected();
            };
            try {
                AnswerEveryPress([&] {
                    if (editing) {
                        outcome = SaveOverOthers(SharedConnection(), m_seen, QStringLiteral("call"),
                                                 write);
                    } else if (SharedConnection().server()) {
                        // The server checks what the call names itself, at the commit: the
                        // new call is one round trip.
                        SharedConnection().executeAlone(statement);
                        written = SharedConnection().rowsAffected();
                    } else {
                        inOneTransaction(write);
                    }
                });
            } catch (const ReferenceRefused& refused) {
                try {
                    ThrowRefusedReference(*this, refused.constraint());
                } catch (const MissingReference& gone) {
                    missing = gone;
                    return;
                }
                throw;
            } catch (const MissingReference& gone) {
                missing = gone;
            }
        }))
        return;
    if (missing) {
        trap.run(144, [&] { TellMissingReference(*this, *missing); });
        return;
    }
    if (outcome == SaveOutcome::KeptTheirs) {
        showStoredVersion();
        return;
    }
    if (trap.test(146, [&] { return outcome == SaveOutcome::Gone || (editing && written == 0); })) {
        trap.run(148, [&] {
            MsgBox(QStringLiteral("This call no longer exists: it was deleted while the editor "
                                  "was open, so nothing was saved."),
                   Prompts::Exclamation);
        });
        return;
    }
    if (trap.test(150, [&] { return editing; }))
        trap.run(152, [&] { MsgBox(kRecordUpdated); });
    else
        trap.run(154, [&] { MsgBox(kRecordSaved); });
    trap.run(156, [&] { accept(); });
}

void Form2::showStoredVersion() {
    // The lists first: the stored call may name a person or value added meanwhile.
    LoadEmployees(0);
    LoadCustomers(0);
    LoadStatus();
    LoadCategories();
    LoadPriorities();
    LoadData();
    m_discard->remember();
}
