// Writes a large, realistic call database for the benchmarks:
//
//   generate_calls N OUTPUT.mdb [TEMPLATE.mdb]
//
// The output starts as a copy of the empty template (by default dbBlank.mdb beside this
// program) and receives 50 employees, 1,000 customers, the status, category and priority
// lists and N calls spread over five years, about 70% of them resolved. Everything is drawn
// from a fixed seed, so the same N always gives the same file.
#include "data/engine_functions.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <cctype>
#include <cstdio>
#include <random>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char* const kFirstNames[] = {
    "Ada",   "Bruno", "Carla",   "Dmitri", "Elena",  "Farid", "Greta",  "Hugo",    "Ines",  "Jonas",
    "Kiri",  "Liam",  "Maya",    "Nils",   "Olga",   "Pedro", "Quinn",  "Rosa",    "Sami",  "Tara",
    "Umar",  "Vera",  "Wendell", "Xenia",  "Yusuf",  "Zofia", "Aidan",  "Beatriz", "Colm",  "Delia",
    "Emeka", "Fiona", "Goran",   "Hana",   "Ivo",    "Jade",  "Kasper", "Leona",   "Marek", "Noor",
    "Oskar", "Priya", "Rafael",  "Signe",  "Tomasz", "Ulla",  "Viktor", "Wren",    "Yara",  "Zeno",
    "Anouk", "Bram",  "Cato",    "Dagny",  "Eero",   "Freya"};

const char* const kLastNames[] = {
    "Abbott",    "Bergstrom", "Castellanos", "Dunmore",   "Eriksen",   "Fairweather", "Galloway",
    "Hollis",    "Iverson",   "Jablonski",   "Kowalczyk", "Lindqvist", "Moreau",      "Nakamura",
    "O'Donnell", "Petrakis",  "Quaresma",    "Rasmussen", "Szabo",     "Thorne",      "Underhill",
    "Valdez",    "Whitcombe", "Xu",          "Yilmaz",    "Zeller",    "Ashdown",     "Brannigan",
    "Carrow",    "Delacroix", "Esposito",    "Fenwick",   "Grimaldi",  "Halvorsen",   "Ingram",
    "Jovanovic", "Kettering", "Lachance",    "Marlowe",   "Novak",     "Okafor",      "Pemberton",
    "Ruiz",      "Sandoval",  "Tremblay",    "Vasquez",   "Winslow",   "Yoshida",     "Zimmer",
    "Blackwood"};

const char* const kCompanies[] = {
    "Harbourline Freight", "Copperleaf Bakery",  "Northgate Clinic",   "Bluewater Dental",
    "Kestrel Insurance",   "Oakmere Schools",    "Pinecrest Hotels",   "Redfern Legal",
    "Silverbirch Farms",   "Thistle & Rowan",    "Ironbridge Motors",  "Lanternfield Press",
    "Marshgate Brewery",   "Quayside Opticians", "Westholm Logistics", "Ambervale Realty"};

const char* const kJobTitles[] = {"Office Manager", "Accountant", "Owner",
                                  "Receptionist",   "IT Contact", "Buyer",
                                  "Sales Director", "Bookkeeper", "Operations Lead"};

const char* const kCities[] = {"Eastmoor", "Kellingford", "Rusholt",   "Brackenby",
                               "Dunmarsh", "Ashcombe",    "Thornwick", "Lowfield"};

const char* const kProblems[] = {
    "Cannot log in to",   "Error message in",      "Slow response from",
    "Crash when opening", "Request for access to", "Password reset for",
    "Update needed for",  "Missing data in",       "Printing fails from",
    "Question about",     "Licence renewal for",   "Cannot connect to",
    "Wrong totals in",    "Sync stopped for",      "Install help with",
    "Refund request for", "Invoice query about",   "Timeout when saving in",
    "Upgrade of",         "Training request for"};

const char* const kObjects[] = {"the billing portal",
                                "the mobile app",
                                "the order system",
                                "e-mail",
                                "the VPN",
                                "the shared drive",
                                "the warehouse scanner",
                                "the website",
                                "the reporting module",
                                "the customer's account",
                                "the payroll system",
                                "the office printer",
                                "the customer database",
                                "the backup service",
                                "the help desk",
                                "the ticket kiosk",
                                "the point of sale",
                                "the laptop",
                                "the phone system",
                                "the time sheets"};

const char* const kSentences[] = {
    "Customer called twice about this.",
    "Reproduced on our side.",
    "Could not reproduce; asked for a screenshot.",
    "Happens only in the afternoon.",
    "Affects the whole office.",
    "Only one user affected so far.",
    "Workaround given: restart and try again.",
    "Escalated to the second line.",
    "Waiting for the vendor's answer.",
    "Customer says it worked last week.",
    "Logged a note with the account manager.",
    "Sent the how-to guide by e-mail.",
    "Remote session booked for tomorrow morning.",
    "Replaced the cable; customer will confirm.",
    "Settings restored from the last backup.",
    "Customer asked for a call back before noon.",
    "Error code quoted on the phone.",
    "Linked to an earlier call from the same site.",
    "Needs approval from the customer's manager.",
    "Checked the logs, nothing unusual.",
};

const char* const kStatusesOpen[] = {"Open", "In Progress", "Waiting on Customer"};
const char* const kStatusesResolved[] = {"Resolved", "Closed"};
const char* const kCategories[] = {"Hardware", "Software", "Network", "Account",
                                   "Billing",  "Training", "Other"};
const char* const kPriorities[] = {"(1) Urgent", "(2) High", "(3) Normal", "(4) Low"};

constexpr int kEmployees = 50;
constexpr int kCustomers = 1000;

template <class T, size_t n> constexpr int countOf(const T (&)[n]) {
    return int(n);
}

class Database {
public:
    explicit Database(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path + ": " + sqlite3_errmsg(m_db));
        RegisterEngineFunctions(m_db);
    }
    ~Database() {
        for (sqlite3_stmt* stmt : m_statements)
            sqlite3_finalize(stmt);
        sqlite3_close_v2(m_db);
    }
    void exec(const char* sql) {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string why = error ? error : "unknown error";
            sqlite3_free(error);
            throw std::runtime_error(std::string(sql) + ": " + why);
        }
    }
    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sql) + ": " + sqlite3_errmsg(m_db));
        m_statements.push_back(stmt);
        return stmt;
    }
    void run(sqlite3_stmt* stmt) {
        if (sqlite3_step(stmt) != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(m_db));
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }

private:
    sqlite3* m_db = nullptr;
    std::vector<sqlite3_stmt*> m_statements;
};

void bindText(sqlite3_stmt* stmt, int index, const std::string& text) {
    sqlite3_bind_text(stmt, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
}

std::string storedDate(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd")).toStdString();
}

class Generator {
public:
    explicit Generator(Database& db) : m_db(db), m_random(20240611) {}

    void lists() {
        sqlite3_stmt* status = m_db.prepare("insert into [Status] values (?)");
        for (const char* value : kStatusesOpen)
            insertOne(status, value);
        for (const char* value : kStatusesResolved)
            insertOne(status, value);
        sqlite3_stmt* category = m_db.prepare("insert into [Categories] values (?)");
        for (const char* value : kCategories)
            insertOne(category, value);
        sqlite3_stmt* priority = m_db.prepare("insert into [Priorities] values (?)");
        for (const char* value : kPriorities)
            insertOne(priority, value);
    }

    void contacts(const char* table, int count, bool staff) {
        const std::string sql =
            std::string("insert into ") + table +
            " ([First Name],[Last Name],[E-mail Address],Company,[Job Title],[Business Phone],"
            "City,Country) values (?,?,?,?,?,?,?,?)";
        sqlite3_stmt* stmt = m_db.prepare(sql.c_str());
        for (int i = 0; i < count; ++i) {
            const std::string first = kFirstNames[pick(countOf(kFirstNames))];
            const std::string last = kLastNames[pick(countOf(kLastNames))];
            const std::string company =
                staff ? "Merrowfen Support" : kCompanies[pick(countOf(kCompanies))];
            std::string mailbox = first + "." + last;
            for (char& c : mailbox)
                c = c == '\'' ? '-' : char(std::tolower(static_cast<unsigned char>(c)));
            bindText(stmt, 1, first);
            bindText(stmt, 2, last);
            bindText(stmt, 3, mailbox + (staff ? "@merrowfen.example" : "@customer.example"));
            bindText(stmt, 4, company);
            bindText(stmt, 5, staff ? "Support Engineer" : kJobTitles[pick(countOf(kJobTitles))]);
            bindText(stmt, 6, "+44 1632 " + std::to_string(100000 + pick(900000)));
            bindText(stmt, 7, kCities[pick(countOf(kCities))]);
            bindText(stmt, 8, "United Kingdom");
            m_db.run(stmt);
        }
    }

    void calls(long long count) {
        sqlite3_stmt* stmt = m_db.prepare(
            "insert into Calls (Title,[Assigned To],[Opened By],[Opened Date],Status,Category,"
            "Priority,Comments,[Due Date],[Resolved By],[Resolved Date],Caller,[Call Time]) "
            "values (?,?,?,?,?,?,?,?,?,?,?,?,?)");
        const QDate first(2020, 1, 1);
        const long long span = first.daysTo(QDate(2024, 12, 31));
        std::string comments;
        for (long long i = 0; i < count; ++i) {
            // Calls arrive over time: the opened date follows the ID, give or take a few days.
            const long long day = std::max(0LL, std::min(span, i * span / count + pick(7) - 3));
            const QDate opened = first.addDays(day);
            const QDate due = opened.addDays(dueDays());
            const bool resolved = pick(100) < 70;
            const QDate resolvedOn = opened.addDays(resolveDays());

            bindText(stmt, 1,
                     std::string(kProblems[pick(countOf(kProblems))]) + " " +
                         kObjects[pick(countOf(kObjects))]);
            sqlite3_bind_int(stmt, 2, 1 + pick(kEmployees));
            sqlite3_bind_int(stmt, 3, 1 + pick(kEmployees));
            bindText(stmt, 4, storedDate(opened));
            bindText(stmt, 5,
                     resolved ? kStatusesResolved[pick(countOf(kStatusesResolved))]
                              : kStatusesOpen[pick(countOf(kStatusesOpen))]);
            bindText(stmt, 6, kCategories[pick(countOf(kCategories))]);
            bindText(stmt, 7, kPriorities[weightedPriority()]);
            // A few calls in every 100,000 name someone whom no column names, so that a
            // benchmark can find a word that only the comments hold.
            const bool planted = i % 100000 == 50000 || (count < 100000 && i == count / 2);
            if (pick(10) != 0 || planted) {
                comments.clear();
                // Notes of a few lines as a help desk writes them: what was said and done,
                // who was spoken to, and a reference.
                const int sentences = 1 + pick(6);
                for (int s = 0; s < sentences; ++s) {
                    if (s > 0)
                        comments += ' ';
                    comments += kSentences[pick(countOf(kSentences))];
                }
                if (pick(3) == 0)
                    comments += std::string(" Spoke to ") +
                                kFirstNames[pick(countOf(kFirstNames))] + " " +
                                kLastNames[pick(countOf(kLastNames))] + " at the " +
                                kCities[pick(countOf(kCities))] + " office.";
                if (planted)
                    comments += " The tenant Quillfeather reported it first.";
                comments += " Ref. " + std::to_string(10000 + pick(90000)) + ".";
                bindText(stmt, 8, comments);
            }
            bindText(stmt, 9, storedDate(due));
            if (resolved) {
                sqlite3_bind_int(stmt, 10, 1 + pick(kEmployees));
                bindText(stmt, 11, storedDate(resolvedOn));
            }
            sqlite3_bind_int(stmt, 12, 1 + pick(kCustomers));
            bindText(stmt, 13, storedDate(resolved ? resolvedOn : opened));
            m_db.run(stmt);
        }
    }

private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }

    int dueDays() {
        static const int choices[] = {1, 2, 3, 5, 7, 10, 14, 21, 30};
        return choices[pick(countOf(choices))];
    }

    // Most calls are settled within days, a few take weeks.
    int resolveDays() {
        return std::min(120, int(std::exponential_distribution<double>(1.0 / 6)(m_random)));
    }

    int weightedPriority() {
        const int roll = pick(100);
        return roll < 5 ? 0 : roll < 25 ? 1 : roll < 85 ? 2 : 3;
    }

    void insertOne(sqlite3_stmt* stmt, const char* value) {
        sqlite3_bind_text(stmt, 1, value, -1, SQLITE_STATIC);
        m_db.run(stmt);
    }

    Database& m_db;
    std::mt19937 m_random;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s N OUTPUT.mdb [TEMPLATE.mdb]\n", argv[0]);
        return 2;
    }
    char* end = nullptr;
    const long long count = std::strtoll(argv[1], &end, 10);
    if (!end || *end || count < 0) {
        std::fprintf(stderr, "generate_calls: '%s' is not a number of calls\n", argv[1]);
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[2]);
    const QString blank =
        argc == 4 ? QString::fromLocal8Bit(argv[3])
                  : QCoreApplication::applicationDirPath() + QStringLiteral("/dbBlank.mdb");
    if (!QFileInfo(blank).isFile()) {
        std::fprintf(stderr, "generate_calls: template database '%s' not found\n",
                     qPrintable(blank));
        return 1;
    }
    // Written under a temporary name and renamed at the end, so that an interrupted run never
    // leaves a partial file under the final name.
    const QString partial = output + QStringLiteral(".partial");
    QFile::remove(partial);
    if (!QFile::copy(blank, partial)) {
        std::fprintf(stderr, "generate_calls: cannot write '%s'\n", qPrintable(partial));
        return 1;
    }
    QFile::setPermissions(partial, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    try {
        Database db(partial.toStdString());
        db.exec("PRAGMA journal_mode = MEMORY");
        db.exec("PRAGMA synchronous = OFF");
        db.exec("PRAGMA cache_size = -262144");
        db.exec("BEGIN");
        Generator generator(db);
        generator.lists();
        generator.contacts("Employees", kEmployees, true);
        generator.contacts("Customers", kCustomers, false);
        generator.calls(count);
        db.exec("COMMIT");
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "generate_calls: %s\n", failure.what());
        QFile::remove(partial);
        return 1;
    }
    QFile::remove(output);
    if (!QFile::rename(partial, output)) {
        std::fprintf(stderr, "generate_calls: cannot rename '%s' to '%s'\n", qPrintable(partial),
                     qPrintable(output));
        return 1;
    }
    return 0;
}
