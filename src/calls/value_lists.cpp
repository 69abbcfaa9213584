// The status, category and priority lists of the call editor: loading them, and adding and
// deleting their values from the "+" and "-" buttons beside them.

#include "calls/call_editor.h"

#include "calls/combo_lists.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "records/deletions.h"
#include "ui/changed_elsewhere.h"
#include "ui/discard_guard.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"

#include <QComboBox>

// What differs between the three value lists: names, texts and statements.
struct Form2::ValueList {
    QComboBox* Form2::*list;
    const char* loader;
    const char* addProcedure;
    const char* deleteProcedure;
    const char* query;
    const char* column;
    const char* prompt;
    const char* caption;
    const char* insertHead;
    const char* warning;
    const char* deleteHead;
    const char* callsDeleteHead;
    void (Form2::*reload)();
};

const Form2::ValueList Form2::kStatusList = {
    &Form2::Combo3,
    "LoadStatus",
    "PushButton7_Click",
    "PushButton8_Click",
    "select * from Status order by Status",
    "Status",
    "Enter new Status: ",
    "Input Status",
    "insert into [Status] values ('",
    "Warning: Deleting status will also delete issue data that is linked to this status.",
    "delete from [Status] where Status='",
    "delete from Calls where Status='",
    &Form2::LoadStatus,
};

const Form2::ValueList Form2::kCategoryList = {
    &Form2::Combo4,
    "LoadCategories",
    "PushButton11_Click",
    "PushButton12_Click",
    "select * from Categories order by Category",
    "Category",
    "Enter new Category: ",
    "Input Category",
    "insert into [Categories] values ('",
    "Warning: Deleting category will also delete issue data that is linked to this category.",
    "delete from [Categories] where Category='",
    "delete from Calls where Category='",
    &Form2::LoadCategories,
};

const Form2::ValueList Form2::kPriorityList = {
    &Form2::Combo5,
    "LoadPriorities",
    "PushButton13_Click",
    "PushButton14_Click",
    "select * from Priorities order by Priority",
    "Priority",
    "Enter new Priority: ",
    "Input Priority",
    "insert into [Priorities] values ('",
    "Warning: Deleting priority will also delete issue data that is linked to this priority.",
    "delete from [Priorities] where Priority='",
    "delete from Calls where Priority='",
    &Form2::LoadPriorities,
};

void Form2::LoadStatus() {
    loadValueList(kStatusList);
}
void Form2::LoadCategories() {
    loadValueList(kCategoryList);
}
void Form2::LoadPriorities() {
    loadValueList(kPriorityList);
}

void Form2::PushButton7_Click() {
    addValue(kStatusList);
}
void Form2::PushButton8_Click() {
    deleteValue(kStatusList);
}
void Form2::PushButton11_Click() {
    addValue(kCategoryList);
}
void Form2::PushButton12_Click() {
    deleteValue(kCategoryList);
}
void Form2::PushButton13_Click() {
    addValue(kPriorityList);
}
void Form2::PushButton14_Click() {
    deleteValue(kPriorityList);
}

void Form2::loadValueList(const ValueList& valueList) {
    ErrorTrap trap("Form2", valueList.loader);
    QComboBox* list = this->*valueList.list;
    QStringList values;
    trap.run(100, [&] { list->clear(); });
    // A result that cannot be opened has no rows to read; the list stays empty.
    if (!ReadListRows(trap, 102, QLatin1String(valueList.query), [&](const Recordset& records) {
            values.append(records.field(QLatin1String(valueList.column)).toText());
        }))
        return;
    trap.run(110, [&] { FillList(list, values); });
}

void Form2::addValue(const ValueList& valueList) {
    m_touchedOther = true;
    ErrorTrap trap("Form2", valueList.addProcedure);
    QString answer;
    trap.run(100, [&] {
        answer = InputBox(QLatin1String(valueList.prompt), QLatin1String(valueList.caption))
                     .value_or(QString());
    });
    if (trap.test(102, [&] { return answer.isEmpty(); }))
        return;
    trap.run(104, [&] {
        SharedConnection().execute(QLatin1String(valueList.insertHead) + DoubledQuotes(answer) +
                                   QStringLiteral("')"));
    });
    trap.run(106, [&] { m_discard->programWrites([&] { (this->*valueList.reload)(); }); });
}

void Form2::deleteValue(const ValueList& valueList) {
    m_touchedOther = true;
    ErrorTrap trap("Form2", valueList.deleteProcedure);
    const QString value = DoubledQuotes((this->*valueList.list)->currentText());
    if (deleteWithCalls(
            trap, this->*valueList.list, valueList.warning,
            [&] { return QLatin1String(valueList.deleteHead) + value + QLatin1Char('\''); },
            [&] { return QLatin1String(valueList.callsDeleteHead) + value + QLatin1Char('\''); }))
        trap.run(118, [&] { m_discard->programWrites([&] { (this->*valueList.reload)(); }); });
}

bool Form2::deleteWithCalls(ErrorTrap& trap, QComboBox* list, const char* warning,
                            const std::function<QString()>& entryDelete,
                            const std::function<QString()>& callsDelete) {
    if (trap.test(100, [&] { return list->currentIndex() < 0; }))
        return false;
    if (trap.test(102, [&] {
            return MsgBox(DeleteQuestion(QLatin1String(warning)),
                          Prompts::YesNo | Prompts::DefaultButton2) != Prompts::Yes;
        }))
        return false;
    bool gone = false;
    // Kept as one deletion, so that it can be undone.
    qint64 deletion = 0;
    const bool deleted = trap.run(104, [&] {
        SharedConnection().beginTransaction();
        deletion = Deletions::Begin(SharedConnection());
    }) && trap.run(106, [&] {
        SharedConnection().execute(entryDelete());
        gone = SharedConnection().rowsAffected() == 0;
    }) && !gone && trap.run(108, [&] {
        SharedConnection().execute(callsDelete());
    }) && trap.run(110, [&] {
        Deletions::End(SharedConnection(), deletion);
        SharedConnection().commit();
        Deletions::Remember(deletion);
    });
    if (trap.test(112, [&] { return !deleted; }))
        trap.run(114, [&] { SharedConnection().rollback(); });
    if (gone)
        trap.run(116,
                 [&] { MsgBox(AlreadyDeletedText(list->currentText()), Prompts::Exclamation); });
    return true;
}
