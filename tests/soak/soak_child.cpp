// The soak's child: the program's own save paths, driven as a person would drive them, one
// after another until the parent kills the process. Every confirmation that the program gave
// is appended to the log at once (see soak.h).
#include "soak.h"

#include "app/main_window.h"
#include "calls/call_editor.h"
#include "contacts/contact_editor.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "test_support.h"
#include "ui/app_paths.h"
#include "ui/appearance.h"
#include "ui/record_messages.h"

#include "list/call_list_model.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace Soak {
namespace {

// A value list of the call editor: its list, its "+" and "-" buttons and its table.
struct ValueList {
    QComboBox* Form2::*list;
    void (Form2::*add)();
    void (Form2::*remove)();
    const char* table;
    const char* keep; // the value every ordinary call carries
};

const ValueList kValueLists[] = {
    {&Form2::Combo3, &Form2::PushButton7_Click, &Form2::PushButton8_Click, "Status", "Open"},
    {&Form2::Combo4, &Form2::PushButton11_Click, &Form2::PushButton12_Click, "Categories",
     "Network"},
    {&Form2::Combo5, &Form2::PushButton13_Click, &Form2::PushButton14_Click, "Priorities", "High"},
};

// A contact list of the call editor whose "-" deletes the contact with its calls.
struct ContactList {
    QComboBox* Form2::*list;
    void (Form2::*add)();
    void (Form2::*edit)();
    void (Form2::*remove)();
    bool employees;
};

const ContactList kContactLists[] = {
    {&Form2::Combo1, &Form2::PushButton5_Click, &Form2::PushButton9_Click,
     &Form2::PushButton6_Click, true},
    {&Form2::Combo2, &Form2::PushButton3_Click, &Form2::PushButton10_Click,
     &Form2::PushButton4_Click, true},
    {&Form2::Combo6, &Form2::PushButton15_Click, &Form2::PushButton17_Click,
     &Form2::PushButton16_Click, false},
};

QString tableOf(const ContactList& contacts) {
    return contacts.employees ? QStringLiteral("Employees") : QStringLiteral("Customers");
}

QList<qint64> ids(const QString& sql) {
    QList<qint64> found;
    Recordset records;
    records.open(sql, SharedConnection());
    for (; !records.eof(); records.moveNext())
        found.append(records.field(0).toInteger());
    return found;
}

void select(QComboBox* list, const QList<qint64>& ids, qint64 id) {
    list->setCurrentIndex(int(ids.indexOf(id)));
}

// Prompts that log a confirmation the moment its box is shown, as the user sees it.
class ConfirmingPrompts : public ScriptedPrompts {
public:
    int message(const QString& text, int style, const QString& title) override {
        const int answer = ScriptedPrompts::message(text, style, title);
        if ((text == kRecordSaved || text == kRecordUpdated) && onConfirmed) {
            onConfirmed();
            onConfirmed = nullptr;
        }
        return answer;
    }

    std::function<void()> onConfirmed;
};

class Child {
public:
    Child(const QString& root, int child, quint32 seed)
        : m_random(seed), m_number(qint64(child) * 1000000) {
        m_log = ::open(QFile::encodeName(LogPath(root)).constData(),
                       O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    }

    int run(const QString& root) {
        if (m_log < 0 || !start())
            return 3;
        m_employees = ids("select ID from Employees where [First Name]='Keep' order by ID");
        m_customers = ids("select ID from Customers where [First Name]='Keep' order by ID");
        QFile(ReadyPath(root)).open(QIODevice::WriteOnly);
        for (;;) {
            m_prompts.clear();
            ++m_number;
            switch (m_random.bounded(14)) {
            case 0:
            case 1:
                newCall();
                break;
            case 2:
                editCall();
                break;
            case 3:
                addValue(kValueLists[m_random.bounded(3)]);
                break;
            case 4:
            case 5:
                valueCascade(kValueLists[m_random.bounded(3)]);
                break;
            case 6:
                addContact(kContactLists[m_random.bounded(3)], QStringLiteral("Kept"));
                break;
            case 7:
                editContact(kContactLists[m_random.bounded(3)]);
                break;
            case 8:
            case 9:
                contactCascade(kContactLists[m_random.bounded(3)]);
                break;
            case 10:
                deleteCall();
                break;
            case 11:
                m_window->PushButton4_Click();
                break;
            case 12:
                writeSettings();
                break;
            default:
                // Shutdown (which writes the settings) and a new start on the same file.
                m_window->Form_QueryUnload();
                m_window.reset();
                if (!start())
                    return 3;
                break;
            }
        }
    }

private:
    bool start() {
        m_prompts.clear();
        m_window = StartProgram();
        return m_prompts.boxes.empty() && SharedConnection().state() == 1;
    }

    // One whole line per confirmation, written at once.
    void confirm(const QStringList& fields) {
        const QByteArray line = fields.join(QLatin1Char('\t')).toUtf8() + '\n';
        if (::write(m_log, line.constData(), size_t(line.size())) != line.size())
            ::_exit(4);
    }

    // The line to log when the next save confirmation is shown (none when empty).
    void confirmOnBox(const QStringList& fields) {
        m_prompts.onConfirmed = nullptr;
        if (!fields.isEmpty())
            m_prompts.onConfirmed = [this, fields] { confirm(fields); };
    }

    bool shown(const QString& text) const { return m_prompts.texts() == QStringList{text}; }

    QString name(const char* head) const {
        return QLatin1String(head) + QLatin1Char(' ') + QString::number(m_number);
    }

    // Fills a new call with the kept people and values, lets `adjust` change it, and saves.
    // `logged` is the confirmation's line.
    bool saveCall(const QString& title, const QStringList& logged,
                  const std::function<void(Form2&)>& adjust = {}) {
        m_prompts.clear();
        Form2 editor;
        editor.Form_Load();
        editor.Text1->setText(title);
        editor.Text3->setExactText(QString(int(m_random.bounded(2000)), QLatin1Char('c')));
        for (QComboBox* list : {editor.Combo1, editor.Combo2})
            select(list, editor.m_EmployeeIDs, m_employees.at(m_random.bounded(3)));
        select(editor.Combo6, editor.m_CustomerIDs, m_customers.at(m_random.bounded(3)));
        for (const ValueList& values : kValueLists) {
            QComboBox* list = editor.*values.list;
            list->setCurrentIndex(list->findText(QLatin1String(values.keep)));
        }
        if (adjust)
            adjust(editor);
        confirmOnBox(logged);
        editor.PushButton2_Click();
        return shown(kRecordSaved);
    }

    void newCall() {
        const QString title = name("keep");
        saveCall(title, {"call", title});
    }

    void editCall() {
        const QList<qint64> calls =
            ids("select ID from Calls where Title like 'keep %' order by random() limit 1");
        if (calls.isEmpty())
            return;
        Form2 editor;
        editor.m_ID = QString::number(calls.first());
        editor.Form_Load();
        editor.Text3->setExactText(name("edit"));
        confirmOnBox({"call-edit", editor.m_ID, QString::number(m_number)});
        editor.PushButton2_Click();
    }

    // Adds a value through its input box; answers whether the list shows it.
    bool addValue(const ValueList& values, const char* head = "Keep") {
        const QString value = name(head);
        Form2 editor;
        editor.Form_Load();
        m_prompts.type(value);
        (editor.*values.add)();
        if (!m_prompts.boxes.empty() || (editor.*values.list)->findText(value) < 0)
            return false;
        if (QLatin1String(head) == QLatin1String("Keep"))
            confirm({"value", values.table, value});
        return true;
    }

    // A value with two calls, deleted together with them.
    void valueCascade(const ValueList& values) {
        if (!addValue(values, "Temp"))
            return;
        const QString value = name("Temp");
        for (const char* suffix : {" a", " b"}) {
            const QString title = value + QLatin1String(suffix);
            saveCall(title, {"cascade-call", title, values.table, value}, [&](Form2& editor) {
                QComboBox* list = editor.*values.list;
                list->setCurrentIndex(list->findText(value));
            });
        }
        m_prompts.clear();
        Form2 editor;
        editor.Form_Load();
        QComboBox* list = editor.*values.list;
        list->setCurrentIndex(list->findText(value));
        m_prompts.answer(Prompts::Yes);
        (editor.*values.remove)();
        if (m_prompts.boxes.size() == 1 && list->findText(value) < 0)
            confirm({"deleted", values.table, value});
    }

    // Adds a contact through its editor; answers its ID, or 0 when the save was not confirmed.
    qint64 addContact(const ContactList& contacts, const QString& firstName) {
        const QString lastName = QString::number(m_number);
        m_prompts.clear();
        Form2 editor;
        editor.Form_Load();
        m_prompts.onModal([&](QDialog& window) {
            auto& contact = static_cast<ContactEditor&>(window);
            static_cast<QLineEdit*>(contact.box(1))->setText(firstName);
            static_cast<QLineEdit*>(contact.box(2))->setText(lastName);
            static_cast<QLineEdit*>(contact.box(9))->setText(QString(200, QLatin1Char('a')));
            contact.PushButton2_Click();
        });
        const QString table = tableOf(contacts);
        if (firstName == QLatin1String("Kept"))
            confirmOnBox({"contact", table, firstName, lastName});
        (editor.*contacts.add)();
        if (!shown(kRecordSaved))
            return 0;
        const QList<qint64> found =
            ids("select ID from " + table + " where [Last Name]='" + lastName + "'");
        return found.isEmpty() ? 0 : found.first();
    }

    void editContact(const ContactList& contacts) {
        const QList<qint64>& people = contacts.employees ? m_employees : m_customers;
        const qint64 id = people.at(m_random.bounded(3));
        m_prompts.clear();
        Form2 editor;
        editor.Form_Load();
        select(editor.*contacts.list,
               contacts.employees ? editor.m_EmployeeIDs : editor.m_CustomerIDs, id);
        m_prompts.onModal([&](QDialog& window) {
            auto& contact = static_cast<ContactEditor&>(window);
            static_cast<ExactTextEdit*>(contact.box(16))->setExactText(name("edit"));
            contact.PushButton2_Click();
        });
        confirmOnBox(
            {"contact-edit", tableOf(contacts), QString::number(id), QString::number(m_number)});
        (editor.*contacts.edit)();
    }

    // A contact named on two calls, deleted together with them.
    void contactCascade(const ContactList& contacts) {
        const qint64 id = addContact(contacts, QStringLiteral("Temp"));
        if (id == 0)
            return;
        const QString table = tableOf(contacts);
        for (const char* suffix : {" a", " b"}) {
            const QString title = name("Temp") + QLatin1String(suffix);
            saveCall(
                title, {"cascade-call", title, table, QString::number(id)}, [&](Form2& editor) {
                    select(editor.*contacts.list,
                           contacts.employees ? editor.m_EmployeeIDs : editor.m_CustomerIDs, id);
                });
        }
        m_prompts.clear();
        Form2 editor;
        editor.Form_Load();
        const QList<qint64>& listed =
            contacts.employees ? editor.m_EmployeeIDs : editor.m_CustomerIDs;
        select(editor.*contacts.list, listed, id);
        m_prompts.answer(Prompts::Yes);
        (editor.*contacts.remove)();
        if (m_prompts.boxes.size() == 1 && !listed.contains(id))
            confirm({"deleted", table, QString::number(id)});
    }

    void deleteCall() {
        const QString title = name("gone");
        if (!saveCall(title, {}))
            return;
        m_prompts.clear();
        m_window->LoadCalls();
        CallListModel* list = m_window->callList();
        auto rowOf = [&] {
            for (int row = 0; row < list->rowCount(); ++row)
                if (list->text(row, 1) == title)
                    return row;
            return -1;
        };
        const int row = rowOf();
        if (row < 0)
            return;
        const QString id = list->text(row, 0);
        m_window->selectRow(row);
        m_prompts.answer(Prompts::Yes);
        m_window->PushButton3_Click();
        if (m_prompts.boxes.size() == 1 && rowOf() < 0)
            confirm({"deleted", "Calls", id});
    }

    void writeSettings() {
        for (int i = 1; i <= 12; ++i)
            SaveSetting(kVendor, kProductTitle, "ColumnHeaders" + QString::number(i),
                        QString::number(1000 + m_random.bounded(900)));
        SaveSetting(kVendor, kProductTitle, "WindowState", "0");
    }

    QRandomGenerator m_random;
    qint64 m_number;
    int m_log = -1;
    ConfirmingPrompts m_prompts;
    std::unique_ptr<Form1> m_window;
    QList<qint64> m_employees;
    QList<qint64> m_customers;
};

} // namespace

int RunChild(const QString& root, int child, quint32 seed) {
    UseFolders(root);
    return Child(root, child, seed).run(root);
}

} // namespace Soak
