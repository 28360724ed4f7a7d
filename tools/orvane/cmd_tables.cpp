// orvane subcommands for whole tables: copy a table between data sources (in one piece
// through the library's copy, or streamed row by row), and read or write a table as CSV.
//
// The library holds one connection per process, so a streamed copy runs in two
// processes: a reader child attached to the source sends rows down a pipe to the parent,
// which is attached to the destination and writes them. Memory stays bounded by the pipe,
// one INSERT statement and one row descriptor, whatever the table's size.
#include <langinfo.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>
#include <chrono>
#include <climits>
#include <clocale>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cuchar>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "command.hpp"
#include "orvane.h"

namespace cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kDefaultBatch = 10000;   // rows per transaction of a streamed write
constexpr int kRowsPerInsert = 100;     // rows per multi-row INSERT statement
constexpr std::size_t kInsertBytes = 64 * 1024;  // ... or fewer, when rows are wide
constexpr std::size_t kShownStatement = 1000;    // longest statement quoted in a message

// Wide texts for the library's W functions go through the locale's conversion, as the
// library's own do; a UTF-8 character type keeps every character on the way.
void useUtf8Locale() {
    if (!std::setlocale(LC_CTYPE, "") || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
}

std::u16string wide(std::string_view s) {
    std::u16string out;
    std::mbstate_t st{};
    const char* p = s.data();
    const char* end = p + s.size();
    while (p < end) {
        char16_t c;
        const std::size_t n = std::mbrtoc16(&c, p, static_cast<std::size_t>(end - p), &st);
        if (n == static_cast<std::size_t>(-3)) {
            out += c;  // second half of a surrogate pair
        } else if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            out += u'?';
            ++p;
            st = {};
        } else {
            out += c;
            p += n ? n : 1;
        }
    }
    return out;
}

std::string narrow(const char16_t* s) {
    std::string out;
    std::mbstate_t st{};
    char buf[MB_LEN_MAX];
    for (; s && *s; ++s) {
        const std::size_t n = std::c16rtomb(buf, *s, &st);
        if (n == static_cast<std::size_t>(-1)) {
            out += '?';
            st = {};
        } else {
            out.append(buf, n);
        }
    }
    return out;
}

void printMessage(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stderr);
}

// The library's message for a failed call (heading, statement, recorded text).
std::string libraryMessage(const std::string& heading, const std::string* sql, int status) {
    std::string shown;
    if (sql) shown = sql->size() > kShownStatement ? sql->substr(0, kShownStatement) + " ..." : *sql;
    std::vector<char> buf(heading.size() + shown.size() + 2048);
    tqDBWin_getSQLErrorTextA(buf.data(), heading.c_str(), sql ? shown.c_str() : nullptr, status);
    return buf.data();
}

int failWith(const std::string& message) {
    printMessage(message);
    tqDBWin_disconnectDatabase();
    return 1;
}

// PostgreSQL's driver, like SQLite's, holds a whole result set in memory unless told to
// fetch through a server-side cursor; a source named by its driver gets that setting
// unless the connect string chooses for itself.
std::string streamingConnect(std::string connect) {
    std::string lower = connect;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("driver") == std::string::npos || lower.find("postgresql") == std::string::npos ||
        lower.find("usedeclarefetch") != std::string::npos)
        return connect;
    if (!connect.empty() && connect.back() != ';') connect += ';';
    return connect + "UseDeclareFetch=1;Fetch=10000;";
}

// Identifiers as the driver reports them, quoted so that letter case and blanks survive.
std::string quoteName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

// A name from a CSV header for a table we create: plain names stay bare, so that they
// fold the way the data source folds the library's own unquoted names.
bool plainName(std::string_view name) {
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// ---------------------------------------------------------------------------------------
// Progress on standard error, only when it is a terminal.

class Progress {
public:
    explicit Progress(std::string what) : on_(::isatty(2) == 1), what_(std::move(what)), start_(Clock::now()) {}
    ~Progress() { clear(); }
    bool on() const { return on_; }
    void setTotal(long long total) { total_ = total; }
    // For input of known size whose row count is not known: the share already read.
    void setShare(double (*share)(void*), void* ctx) {
        share_ = share;
        shareCtx_ = ctx;
    }
    void tick(long long rows) {
        if (!on_ || (rows & 63) != 0) return;
        const auto now = Clock::now();
        if (now - last_ < std::chrono::milliseconds(250)) return;
        last_ = now;
        show(rows, now);
    }
    void clear() {
        if (on_ && shown_) std::fputs("\r\033[K", stderr);
        shown_ = false;
    }
    double seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

private:
    void show(long long rows, Clock::time_point now) {
        const double secs = std::chrono::duration<double>(now - start_).count();
        const double rate = secs > 0 ? rows / secs : 0;
        char line[256];
        int n = std::snprintf(line, sizeof line, "\r%s: %lld", what_.c_str(), rows);
        if (total_ >= 0) n += std::snprintf(line + n, sizeof line - n, " of %lld", total_);
        n += std::snprintf(line + n, sizeof line - n, " rows, %.0f rows/s", rate);
        double left = -1;
        if (total_ > 0 && rate > 0) left = (total_ - rows) / rate;
        if (total_ < 0 && share_) {
            const double done = share_(shareCtx_);
            if (done > 0.001) left = secs * (1 - done) / done;
        }
        if (left >= 0) {
            const long s = static_cast<long>(left + 0.5);
            std::snprintf(line + n, sizeof line - n, ", ETA %ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
        }
        std::fputs(line, stderr);
        std::fputs("\033[K", stderr);
        shown_ = true;
    }

    bool on_;
    std::string what_;
    Clock::time_point start_, last_{};
    long long total_ = -1;
    double (*share_)(void*) = nullptr;
    void* shareCtx_ = nullptr;
    bool shown_ = false;
};

// Rows of a table as the library counts them ("SELECT COUNT (*) FROM t;"); -1 unknown.
long long countRows(const std::string& table) {
    uint16_t id = 0;
    const std::string sql = "SELECT COUNT (*) FROM " + table + ";";
    if (!tqDBWin_openCursorWithIDA(&id, sql.c_str())) return -1;
    SQLDADescriptor row{};
    long long count = -1;
    if (tqDBWin_fetchRowByIDA(&row, id) && row.count > 0 && row.values[0])
        count = std::strtoll(static_cast<const char*>(row.values[0]), nullptr, 10);
    tqDBWin_freeSQLDADescriptorA(&row);
    tqDBWin_closeCursorWithID(id);
    return count;
}

// ---------------------------------------------------------------------------------------
// Reading a table row by row, with SQL NULL told apart from empty text.
//
// The library reads NULL as empty text, so the query carries one more column: a '1' or
// '0' per column saying whether the value is NULL. Data sources that cannot evaluate it
// are read plainly, and their NULLs come out as empty values.

struct Value {
    const char* text = nullptr;
    std::size_t size = 0;
    bool null = true;
};

class TableReader {
public:
    explicit TableReader(std::string table) : table_(std::move(table)) {}
    ~TableReader() {
        tqDBWin_freeSQLDADescriptorA(&row_);
        if (id_) tqDBWin_closeCursorWithID(id_);
    }

    // Opens the cursor; false with a message when the table cannot be read.
    bool open(std::string& message) {
        if (!tqDBWin_findTableA(table_.c_str())) {
            message = "orvane: no table '" + table_ + "' in the data source";
            return false;
        }
        if (!describe(message)) return false;

        std::string flags;
        for (int i = 0; i < columns_; ++i) {
            if (i) flags += " || ";
            flags += "(CASE WHEN " + quoteName(names_[i]) + " IS NULL THEN '1' ELSE '0' END)";
        }
        // SQLite's driver holds a whole result set in memory, so a SQLite table is read in
        // pieces by its row key, each piece a cursor of its own. The key's alias must not be
        // the name of a real column.
        for (const char* alias : {"rowid", "_rowid_", "oid"}) {
            bool taken = false;
            for (const auto& name : names_) taken = taken || sameName(name, alias);
            if (taken) continue;
            pagedSelect_ = "SELECT *, " + flags + ", " + alias + " FROM " + table_;
            alias_ = alias;
            if (openPiece()) {
                withFlags_ = paged_ = true;
                return true;
            }
            break;
        }
        std::string sql = "SELECT *, " + flags + " FROM " + table_ + ";";
        if (tqDBWin_openCursorWithIDA(&id_, sql.c_str())) {
            withFlags_ = true;
            return true;
        }
        sql = "SELECT * FROM " + table_ + ";";
        if (tqDBWin_openCursorWithIDA(&id_, sql.c_str())) {
            std::fprintf(stderr, "orvane: this data source cannot tell NULL from empty text; both read as NULL\n");
            return true;
        }
        id_ = 0;
        message = libraryMessage("ERROR: Couldn't read from database table '" + table_ + "'.", &sql, -1);
        return false;
    }

    int columns() const { return columns_; }
    const std::vector<std::string>& names() const { return names_; }
    const std::vector<int16_t>& types() const { return types_; }
    const std::vector<int16_t>& sizes() const { return sizes_; }
    const std::vector<int16_t>& scales() const { return scales_; }
    const std::vector<int16_t>& nullable() const { return nullable_; }

    // The next row into `values` (one per column); false at the end.
    bool next(std::vector<Value>& values) {
        if (!tqDBWin_fetchRowByIDA(&row_, id_)) {
            if (!paged_ || inPiece_ < kPiece) return false;
            if (!openPiece() || !tqDBWin_fetchRowByIDA(&row_, id_)) return false;
        }
        values.assign(columns_, Value{});
        const char* flags = nullptr;
        if (withFlags_ && row_.count > columns_) flags = static_cast<const char*>(row_.values[columns_]);
        if (paged_) {
            ++inPiece_;
            const char* key = row_.count == columns_ + 2 ? static_cast<const char*>(row_.values[columns_ + 1]) : nullptr;
            lastKey_ = key ? key : "";
        }
        for (int i = 0; i < columns_ && i < row_.count; ++i) {
            const char* text = static_cast<const char*>(row_.values[i]);
            Value& v = values[i];
            v.text = text ? text : "";
            v.size = std::strlen(v.text);
            if (flags && std::strlen(flags) == static_cast<std::size_t>(columns_))
                v.null = flags[i] == '1';
            else
                v.null = !text || v.size == 0;
        }
        return true;
    }

private:
    static constexpr int kPiece = 10000;  // rows per piece of a table read by its row key

    // The column description, from the first row where there is one: describing the
    // table would run a query over all of it.
    bool describe(std::string& message) {
        SQLDADescriptor d{};
        uint16_t id = 0;
        const std::string first = "SELECT * FROM " + table_ + " LIMIT 1;";
        bool have = false;
        if (tqDBWin_openCursorWithIDA(&id, first.c_str())) {
            have = tqDBWin_fetchRowByIDA(&d, id) && d.count > 0;
            tqDBWin_closeCursorWithID(id);
        }
        if (!have) {
            tqDBWin_freeSQLDADescriptorA(&d);
            const int status = tqDBWin_describeTableA(&d, table_.c_str());
            if (status != 0 || d.count < 1) {
                tqDBWin_freeSQLDADescriptorA(&d);
                message = libraryMessage("ERROR: Couldn't describe table '" + table_ + "'.", nullptr, status);
                return false;
            }
        }
        columns_ = d.count;
        for (int i = 0; i < d.count; ++i) {
            names_.emplace_back(d.names[i] ? static_cast<const char*>(d.names[i]) : "");
            types_.push_back(d.types[i]);
            sizes_.push_back(d.sizes[i]);
            scales_.push_back(d.scales[i]);
            nullable_.push_back(d.nullable[i]);
        }
        tqDBWin_freeSQLDADescriptorA(&d);
        return true;
    }

    bool openPiece() {
        if (id_) tqDBWin_closeCursorWithID(id_);
        id_ = 0;
        tqDBWin_freeSQLDADescriptorA(&row_);
        std::string sql = pagedSelect_;
        if (!lastKey_.empty()) sql += " WHERE " + alias_ + " > " + lastKey_;
        sql += " ORDER BY " + alias_ + " LIMIT " + std::to_string(kPiece) + ";";
        inPiece_ = 0;
        return tqDBWin_openCursorWithIDA(&id_, sql.c_str()) == 1;
    }

    std::string table_;
    uint16_t id_ = 0;
    int columns_ = 0;
    bool withFlags_ = false, paged_ = false;
    std::string pagedSelect_, alias_, lastKey_;
    int inPiece_ = 0;
    std::vector<std::string> names_;
    std::vector<int16_t> types_, sizes_, scales_, nullable_;
    SQLDADescriptor row_{};
};

// ---------------------------------------------------------------------------------------
// Writing rows as multi-row INSERT statements, in transactions of `batch` rows where the
// data source takes BEGIN and COMMIT.

bool numericType(int type) {
    switch (type) {
        case 2: case 3: case 4: case 5: case 6: case 7: case 8: case -5: case -6: return true;
        default: return false;
    }
}

// A plain decimal number: written bare into a numeric column, anything else is quoted.
bool looksNumeric(const char* s, std::size_t n) {
    std::size_t i = 0, digits = 0;
    if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
    while (i < n && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    if (i < n && s[i] == '.') ++i;
    while (i < n && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    if (!digits) return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t exp = 0;
        while (i < n && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++exp;
        if (!exp) return false;
    }
    return i == n;
}

struct Target {
    std::string sqlName;  // as written into the INSERT column list
    bool numeric = false;
};

class InsertWriter {
public:
    InsertWriter(std::string table, const std::vector<Target>& targets, long batch)
        : table_(std::move(table)), targets_(targets), batch_(batch > 0 ? batch : kDefaultBatch) {
        prefix_ = "INSERT INTO " + table_ + " (";
        for (std::size_t i = 0; i < targets_.size(); ++i) prefix_ += (i ? ", " : "") + targets_[i].sqlName;
        prefix_ += ") VALUES ";
        perInsert_ = kRowsPerInsert;
    }
    ~InsertWriter() {
        if (inTxn_) tqDBWin_processSQLA("ROLLBACK");
    }

    // `values` holds one value per target, in order.
    bool add(const std::vector<Value>& values) {
        if (!inTxn_ && !noTxn_) {
            if (tqDBWin_processSQLA("BEGIN") == 0)
                inTxn_ = true;
            else
                noTxn_ = true;
        }
        std::string tuple = "(";
        for (std::size_t i = 0; i < targets_.size(); ++i) {
            if (i) tuple += ", ";
            const Value& v = values[i];
            if (v.null) {
                tuple += "NULL";
            } else if (targets_[i].numeric && looksNumeric(v.text, v.size)) {
                tuple.append(v.text, v.size);
            } else {
                tuple += '\'';
                for (std::size_t k = 0; k < v.size; ++k) {
                    if (v.text[k] == '\'') tuple += '\'';
                    tuple += v.text[k];
                }
                tuple += '\'';
            }
        }
        tuple += ')';
        pendingBytes_ += tuple.size() + 2;
        pending_.push_back(std::move(tuple));
        ++inBatch_;
        if (static_cast<int>(pending_.size()) >= perInsert_ || pendingBytes_ >= kInsertBytes)
            if (!flush()) return false;
        if (inBatch_ >= batch_) return commit();
        return true;
    }

    bool finish() { return commit(); }
    long long written() const { return committed_; }
    bool transactions() const { return inTxn_ || (!noTxn_ && committed_ > 0); }
    const std::string& message() const { return message_; }

private:
    bool execute(const std::string& sql, int& status) {
        status = tqDBWin_processSQLA(sql.c_str());
        return status == 0;
    }

    bool flush() {
        if (pending_.empty()) return true;
        std::string sql = prefix_;
        for (std::size_t i = 0; i < pending_.size(); ++i) {
            if (i) sql += ", ";
            sql += pending_[i];
        }
        int status;
        if (!execute(sql, status)) {
            // A data source without multi-row VALUES fails the very first statement: go on
            // one row per statement from there.
            if (!triedSingle_ && statements_ == 0 && pending_.size() > 1) {
                triedSingle_ = true;
                if (inTxn_) {
                    tqDBWin_processSQLA("ROLLBACK");
                    inTxn_ = tqDBWin_processSQLA("BEGIN") == 0;
                }
                perInsert_ = 1;
                for (const std::string& tuple : pending_) {
                    const std::string one = prefix_ + tuple;
                    if (!execute(one, status)) return failed(one, status);
                }
                ++statements_;
                if (!inTxn_) committed_ += pendingRows();
                pending_.clear();
                pendingBytes_ = 0;
                return true;
            }
            return failed(sql, status);
        }
        ++statements_;
        triedSingle_ = true;
        pending_.clear();
        pendingBytes_ = 0;
        if (!inTxn_) committed_ += pendingRows();
        return true;
    }

    long long pendingRows() {
        const long long rows = inBatch_ - flushedInBatch_;
        flushedInBatch_ = inBatch_;
        return rows;
    }

    bool commit() {
        if (!flush()) return false;
        if (inTxn_) {
            int status;
            if (!execute("COMMIT", status)) {
                inTxn_ = false;
                const std::string sql = "COMMIT";
                return failed(sql, status);
            }
            inTxn_ = false;
            committed_ += inBatch_;
        }
        inBatch_ = 0;
        flushedInBatch_ = 0;
        return true;
    }

    bool failed(const std::string& sql, int status) {
        message_ = libraryMessage("ERROR: Couldn't insert into the table '" + table_ + "'", &sql, status);
        if (inTxn_) {
            tqDBWin_processSQLA("ROLLBACK");
            inTxn_ = false;
        }
        return false;
    }

    std::string table_;
    std::vector<Target> targets_;
    long batch_;
    std::string prefix_;
    std::vector<std::string> pending_;
    std::size_t pendingBytes_ = 0;
    int perInsert_;
    long inBatch_ = 0, flushedInBatch_ = 0;
    long long committed_ = 0;
    long long statements_ = 0;
    bool inTxn_ = false, noTxn_ = false, triedSingle_ = false;
    std::string message_;
};

// ---------------------------------------------------------------------------------------
// CSV (RFC 4180 quoting). An empty unquoted field is SQL NULL; "" is empty text.

void writeCsvField(std::string& out, const char* s, std::size_t n, bool null) {
    if (null) return;
    bool quote = n == 0;
    for (std::size_t i = 0; i < n && !quote; ++i)
        if (s[i] == ',' || s[i] == '"' || s[i] == '\n' || s[i] == '\r') quote = true;
    if (!quote) {
        out.append(s, n);
        return;
    }
    out += '"';
    for (std::size_t i = 0; i < n; ++i) {
        if (s[i] == '"') out += '"';
        out += s[i];
    }
    out += '"';
}

struct CsvField {
    std::string text;
    bool quoted = false;
};

class CsvReader {
public:
    explicit CsvReader(std::FILE* in) : in_(in) {}
    // The next record; false at the end of the input. `error` is set on a broken quote.
    bool next(std::vector<CsvField>& fields, std::string& error) {
        fields.clear();
        int c = std::getc(in_);
        if (c == EOF) return false;
        ++line_;
        CsvField field;
        for (;;) {
            if (c == '"' && field.text.empty() && !field.quoted) {
                field.quoted = true;
                for (;;) {
                    c = std::getc(in_);
                    if (c == EOF) {
                        error = "unterminated quoted field in record " + std::to_string(line_);
                        return false;
                    }
                    if (c == '"') {
                        c = std::getc(in_);
                        if (c != '"') break;
                    }
                    field.text += static_cast<char>(c);
                }
                if (c != ',' && c != '\n' && c != '\r' && c != EOF) {
                    error = "text after a closing quote in record " + std::to_string(line_);
                    return false;
                }
                continue;
            }
            if (c == ',' ) {
                fields.push_back(std::move(field));
                field = CsvField{};
                c = std::getc(in_);
                continue;
            }
            if (c == '\r') {
                c = std::getc(in_);
                if (c != '\n' && c != EOF) std::ungetc(c, in_);
                break;
            }
            if (c == '\n' || c == EOF) break;
            field.text += static_cast<char>(c);
            c = std::getc(in_);
        }
        fields.push_back(std::move(field));
        return true;
    }
    long long record() const { return line_; }

private:
    std::FILE* in_;
    long long line_ = 0;
};

// ---------------------------------------------------------------------------------------
// Commands.

struct Options {
    bool stream = false;
    long batch = kDefaultBatch;
    std::vector<std::string> positional;
};

bool parseOptions(const std::vector<std::string>& args, Options& o, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--stream") {
            o.stream = true;
        } else if (a == "--batch" || a.rfind("--batch=", 0) == 0) {
            std::string n;
            if (a == "--batch") {
                if (++i == args.size()) return error = "--batch needs a number", false;
                n = args[i];
            } else {
                n = a.substr(8);
            }
            char* end = nullptr;
            o.batch = std::strtol(n.c_str(), &end, 10);
            if (n.empty() || *end || o.batch < 1) return error = "--batch needs a positive number", false;
        } else if (a == "--") {
            o.positional.insert(o.positional.end(), args.begin() + i + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-' && a.rfind("--", 0) == 0) {
            return error = "unknown option '" + a + "'", false;
        } else {
            o.positional.push_back(a);
        }
    }
    return true;
}

// copy-table through tqDBWin_copyTableExtW: the whole table in memory at once.
int copyWhole(const std::string& srcConnect, const std::string& srcTable, const std::string& dstConnect,
              const std::string& dstTable) {
    // The library's copy drops the destination even when the source table is missing;
    // look first, so that a misspelt name costs nothing.
    int status = tqDBWin_attachDatabaseA(srcConnect.c_str());
    if (status != 0)
        return failWith(
            libraryMessage("ERROR: Could not attach source database '" + srcConnect + "'", nullptr, status));
    if (!tqDBWin_findTableA(srcTable.c_str()))
        return failWith("orvane: no table '" + srcTable + "' in the source data source; nothing copied");
    tqDBWin_disconnectDatabase();

    // The copy is one call: the progress line can only say how long it has been running.
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread ticker;
    Progress progress("copy-table");
    if (progress.on()) {
        ticker = std::thread([&] {
            std::unique_lock lock(m);
            while (!cv.wait_for(lock, std::chrono::milliseconds(500), [&] { return done; }))
                std::fprintf(stderr, "\rcopy-table: copying, %.0f s\033[K", progress.seconds());
        });
    }
    std::vector<tqWChar> msg(1024, 0);
    const auto start = Clock::now();
    status = tqDBWin_copyTableExtW(wide(srcConnect).c_str(), wide(srcTable).c_str(), wide(dstConnect).c_str(),
                                   wide(dstTable).c_str(), msg.data());
    const double secs = std::chrono::duration<double>(Clock::now() - start).count();
    if (ticker.joinable()) {
        {
            std::lock_guard lock(m);
            done = true;
        }
        cv.notify_all();
        ticker.join();
        std::fputs("\r\033[K", stderr);
    }
    // A short read keeps status 0 and shows only in the message.
    if (status != 0 || msg[0] != 0) {
        std::string text = narrow(msg.data());
        if (text.empty()) text = libraryMessage("ERROR: copy-table failed", nullptr, status);
        return failWith(text);
    }
    const long long rows = tqDBWin_isConnected() ? countRows(dstTable) : -1;
    tqDBWin_disconnectDatabase();
    std::printf("copied %lld rows from %s to %s in %.2f s (%.0f rows/s)\n", rows, srcTable.c_str(),
                dstTable.c_str(), secs, secs > 0 && rows > 0 ? rows / secs : 0.0);
    return 0;
}

// The pipe between the reader child and the writing parent: tagged records.
enum : char { kCount = 'C', kHeader = 'H', kRow = 'R', kError = 'E', kEnd = 'D' };
constexpr uint32_t kNull = 0xffffffffu;

void put32(std::FILE* f, uint32_t v) { std::fwrite(&v, sizeof v, 1, f); }
void putText(std::FILE* f, const char* s, std::size_t n) {
    put32(f, static_cast<uint32_t>(n));
    std::fwrite(s, 1, n, f);
}
bool get32(std::FILE* f, uint32_t& v) { return std::fread(&v, sizeof v, 1, f) == 1; }
bool getText(std::FILE* f, std::string& s) {
    uint32_t n;
    if (!get32(f, n) || n == kNull) return false;
    s.resize(n);
    return n == 0 || std::fread(s.data(), 1, n, f) == n;
}

// The reader child: attached to the source, it sends the count, the column description
// and then every row.
[[noreturn]] void streamReader(int fd, const std::string& connect, const std::string& table) {
    std::FILE* out = ::fdopen(fd, "w");
    if (!out) ::_exit(3);
    static char buffer[1 << 16];
    std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
    auto fail = [&](const std::string& message) {
        std::fputc(kError, out);
        putText(out, message.data(), message.size());
        std::fflush(out);
        tqDBWin_disconnectDatabase();
        ::_exit(1);
    };
    const int status = tqDBWin_attachDatabaseA(streamingConnect(connect).c_str());
    if (status != 0) fail(libraryMessage("ERROR: Could not attach source database '" + connect + "'", nullptr, status));
    if (!tqDBWin_findTableA(table.c_str())) fail("orvane: no table '" + table + "' in the source data source; nothing copied");
    const long long total = countRows(table);
    std::fputc(kCount, out);
    std::fwrite(&total, sizeof total, 1, out);
    std::fflush(out);

    std::string message;
    TableReader reader(table);
    if (!reader.open(message)) fail(message);
    std::fputc(kHeader, out);
    put32(out, static_cast<uint32_t>(reader.columns()));
    for (int i = 0; i < reader.columns(); ++i) {
        putText(out, reader.names()[i].data(), reader.names()[i].size());
        const int16_t meta[4] = {reader.types()[i], reader.sizes()[i], reader.scales()[i], reader.nullable()[i]};
        std::fwrite(meta, sizeof meta, 1, out);
    }
    std::vector<Value> values;
    while (reader.next(values)) {
        std::fputc(kRow, out);
        for (const Value& v : values) {
            if (v.null)
                put32(out, kNull);
            else
                putText(out, v.text, v.size);
        }
        if (std::ferror(out)) ::_exit(1);  // the writer has gone
    }
    std::fputc(kEnd, out);
    std::fflush(out);
    tqDBWin_disconnectDatabase();
    ::_exit(0);
}

int copyStreamed(const std::string& srcConnect, const std::string& srcTable, const std::string& dstConnect,
                 const std::string& dstTable, long batch) {
    int fds[2];
    if (::pipe(fds) != 0) return failWith(std::string("orvane: pipe: ") + std::strerror(errno));
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) return failWith(std::string("orvane: fork: ") + std::strerror(errno));
    if (child == 0) {
        ::close(fds[0]);
        streamReader(fds[1], srcConnect, srcTable);
    }
    ::close(fds[1]);
    std::FILE* in = ::fdopen(fds[0], "r");
    static char buffer[1 << 16];
    std::setvbuf(in, buffer, _IOFBF, sizeof buffer);

    auto reap = [&](bool kill) {
        if (kill) ::kill(child, SIGTERM);
        std::fclose(in);
        int raw = 0;
        ::waitpid(child, &raw, 0);
        return raw;
    };
    auto stop = [&](const std::string& message) {
        reap(true);
        return failWith(message);
    };
    const auto start = Clock::now();
    // Attached while the child counts the source.
    int status = tqDBWin_attachDatabaseA(dstConnect.c_str());
    if (status != 0)
        return stop(libraryMessage("ERROR: Could not attach destination database '" + dstConnect + "'", nullptr,
                                   status));

    Progress progress("copy-table");
    std::vector<std::string> names;
    std::vector<int16_t> meta;
    std::vector<Target> targets;
    std::vector<int> sourceOf;  // source column of each destination target
    std::unique_ptr<InsertWriter> writer;
    std::vector<std::string> texts;
    std::vector<bool> nulls;
    std::vector<Value> values;
    long long rows = 0;
    std::string brokenPipe = "orvane: the reader of the source stopped unexpectedly";
    for (;;) {
        const int tag = std::fgetc(in);
        if (tag == kCount) {
            long long total;
            if (std::fread(&total, sizeof total, 1, in) != 1) return stop(brokenPipe);
            progress.setTotal(total);
        } else if (tag == kError) {
            std::string message;
            getText(in, message);
            return stop(message);
        } else if (tag == kHeader) {
            uint32_t n;
            if (!get32(in, n) || n == 0 || n > 32767) return stop(brokenPipe);
            names.resize(n);
            meta.resize(4 * n);
            for (uint32_t i = 0; i < n; ++i)
                if (!getText(in, names[i]) || std::fread(&meta[4 * i], sizeof(int16_t), 4, in) != 4)
                    return stop(brokenPipe);
            // As the library's copy does: the destination is replaced by a table made from
            // the source's column description.
            const std::u16string table = wide(dstTable);
            std::vector<tqWChar> msg(1024, 0);
            if (tqDBWin_findTableA(dstTable.c_str())) {
                status = tqDBWin_dropTableW(table.c_str(), msg.data());
                if (status != 0) return stop(narrow(msg.data()));
            }
            std::vector<std::u16string> wideNames;
            for (const auto& name : names) wideNames.push_back(wide(name));
            std::vector<void*> namePtrs, valuePtrs(n, nullptr);
            for (auto& w : wideNames) namePtrs.push_back(w.data());
            std::vector<int16_t> types(n), sizes(n), scales(n), nullable(n);
            std::vector<uint16_t> reserved(n, 0);
            for (uint32_t i = 0; i < n; ++i) {
                types[i] = meta[4 * i];
                sizes[i] = meta[4 * i + 1];
                scales[i] = meta[4 * i + 2];
                nullable[i] = meta[4 * i + 3];
            }
            SQLDADescriptor d{static_cast<int16_t>(n), namePtrs.data(), valuePtrs.data(), types.data(),
                              reserved.data(), scales.data(), sizes.data(), nullable.data()};
            status = tqDBWin_createTableFromSqlData(table.c_str(), &d, msg.data());
            if (status != 0) return stop(narrow(msg.data()));
            // The generated table leaves out columns of types it has no text for.
            SQLDADescriptor made{};
            status = tqDBWin_describeTableA(&made, dstTable.c_str());
            for (int j = 0; status == 0 && j < made.count; ++j) {
                const char* name = made.names[j] ? static_cast<const char*>(made.names[j]) : "";
                for (uint32_t i = 0; i < n; ++i)
                    if (sameName(name, names[i])) {
                        targets.push_back({quoteName(name), numericType(made.types[j])});
                        sourceOf.push_back(static_cast<int>(i));
                        break;
                    }
            }
            tqDBWin_freeSQLDADescriptorA(&made);
            for (uint32_t i = 0; i < n; ++i) {
                bool kept = false;
                for (int s : sourceOf) kept = kept || s == static_cast<int>(i);
                if (!kept)
                    std::fprintf(stderr, "orvane: column %s (type %d) has no column in the new table; left out\n",
                                 names[i].c_str(), types[i]);
            }
            if (targets.empty()) return stop("orvane: the new table has none of the source's columns");
            writer = std::make_unique<InsertWriter>(dstTable, targets, batch);
            texts.resize(n);
            nulls.resize(n);
            values.resize(targets.size());
        } else if (tag == kRow) {
            if (!writer) return stop(brokenPipe);
            for (std::size_t i = 0; i < texts.size(); ++i) {
                uint32_t size;
                if (!get32(in, size)) return stop(brokenPipe);
                nulls[i] = size == kNull;
                if (nulls[i]) continue;
                texts[i].resize(size);
                if (size && std::fread(texts[i].data(), 1, size, in) != size) return stop(brokenPipe);
            }
            for (std::size_t t = 0; t < targets.size(); ++t) {
                const int s = sourceOf[t];
                values[t] = Value{texts[s].c_str(), texts[s].size(), static_cast<bool>(nulls[s])};
            }
            if (!writer->add(values)) {
                printMessage(writer->message());
                reap(true);
                std::fprintf(stderr, "orvane: %lld rows were written before the failure\n", writer->written());
                writer.reset();
                tqDBWin_disconnectDatabase();
                return 1;
            }
            progress.tick(++rows);
        } else if (tag == kEnd) {
            break;
        } else {
            return stop(brokenPipe);
        }
    }
    if (writer && !writer->finish()) {
        printMessage(writer->message());
        writer.reset();
        reap(false);
        tqDBWin_disconnectDatabase();
        return 1;
    }
    writer.reset();
    const int raw = reap(false);
    progress.clear();
    tqDBWin_disconnectDatabase();
    if (!WIFEXITED(raw) || WEXITSTATUS(raw) != 0) {
        std::fprintf(stderr, "%s\n", brokenPipe.c_str());
        return 1;
    }
    const double secs = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("copied %lld rows from %s to %s in %.2f s (%.0f rows/s)\n", rows, srcTable.c_str(), dstTable.c_str(),
                secs, secs > 0 ? rows / secs : 0.0);
    return 0;
}

int runCopyTable(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, o, error)) return usageError("copy-table: " + error);
    if (o.positional.size() != 4) return usageError("copy-table: needs SRC-CONNECT SRC-TABLE DST-CONNECT DST-TABLE");
    useUtf8Locale();
    const auto& p = o.positional;
    return o.stream ? copyStreamed(p[0], p[1], p[2], p[3], o.batch) : copyWhole(p[0], p[1], p[2], p[3]);
}

int runReadTable(const std::vector<std::string>& args) {
    if (args.size() != 2) return usageError("read-table: needs CONNECT and TABLE");
    useUtf8Locale();
    const int status = tqDBWin_attachDatabaseA(streamingConnect(args[0]).c_str());
    if (status != 0)
        return failWith(libraryMessage("ERROR: Could not attach database '" + args[0] + "'", nullptr, status));
    Progress progress("read-table");
    if (progress.on()) progress.setTotal(countRows(args[1]));
    std::string message;
    long long rows = 0;
    {
        TableReader reader(args[1]);
        if (!reader.open(message)) return failWith(message);
        static char buffer[1 << 16];
        std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
        std::string line;
        for (int i = 0; i < reader.columns(); ++i) {
            if (i) line += ',';
            const std::string& name = reader.names()[i];
            writeCsvField(line, name.data(), name.size(), false);
        }
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::vector<Value> values;
        while (reader.next(values)) {
            line.clear();
            for (std::size_t i = 0; i < values.size(); ++i) {
                if (i) line += ',';
                writeCsvField(line, values[i].text, values[i].size, values[i].null);
            }
            line += '\n';
            std::fwrite(line.data(), 1, line.size(), stdout);
            progress.tick(++rows);
        }
    }
    progress.clear();
    tqDBWin_disconnectDatabase();
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "orvane: read-table: cannot write: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

struct FileShare {
    std::FILE* file;
    double size;
};

double fileShare(void* ctx) {
    auto* f = static_cast<FileShare*>(ctx);
    const long at = std::ftell(f->file);
    return at > 0 ? at / f->size : 0;
}

// Columns of a table made from CSV are VARCHAR(255), the widest size that SQLite's driver
// still reports as VARCHAR (so that the library's copy keeps them); a column of a FILE
// that holds longer text gets its longest length instead.
constexpr std::size_t kNewColumnSize = 255;

std::vector<std::size_t> columnWidths(std::FILE* in, std::size_t columns) {
    std::vector<std::size_t> widths(columns, kNewColumnSize);
    struct stat st{};
    if (::fstat(::fileno(in), &st) != 0 || !S_ISREG(st.st_mode)) return widths;
    const long start = std::ftell(in);
    CsvReader csv(in);
    std::vector<CsvField> fields;
    std::string error;
    while (csv.next(fields, error))
        for (std::size_t i = 0; i < fields.size() && i < columns; ++i)
            widths[i] = std::max(widths[i], mbstowcs(nullptr, fields[i].text.c_str(), 0) == static_cast<std::size_t>(-1)
                                                ? fields[i].text.size()
                                                : mbstowcs(nullptr, fields[i].text.c_str(), 0));
    std::fseek(in, start, SEEK_SET);
    return widths;
}

int runWriteTable(const std::vector<std::string>& args) {
    Options o;
    std::string error;
    if (!parseOptions(args, o, error)) return usageError("write-table: " + error);
    if (o.positional.size() < 2 || o.positional.size() > 3)
        return usageError("write-table: needs CONNECT, TABLE and optionally FILE");
    useUtf8Locale();
    const std::string& table = o.positional[1];
    const std::string file = o.positional.size() == 3 ? o.positional[2] : "-";
    std::FILE* in = file == "-" ? stdin : std::fopen(file.c_str(), "rb");
    if (!in) {
        std::fprintf(stderr, "orvane: write-table: cannot open %s: %s\n", file.c_str(), std::strerror(errno));
        return 1;
    }
    struct Closer {
        std::FILE* f;
        ~Closer() {
            if (f != stdin) std::fclose(f);
        }
    } closer{in};
    CsvReader csv(in);
    std::vector<CsvField> header;
    if (!csv.next(header, error)) {
        std::fprintf(stderr, "orvane: write-table: %s\n", error.empty() ? "no header line in the input" : error.c_str());
        return 1;
    }
    int status = tqDBWin_attachDatabaseA(o.positional[0].c_str());
    if (status != 0)
        return failWith(
            libraryMessage("ERROR: Could not attach database '" + o.positional[0] + "'", nullptr, status));

    std::vector<Target> targets;
    if (tqDBWin_findTableA(table.c_str())) {
        SQLDADescriptor d{};
        status = tqDBWin_describeTableA(&d, table.c_str());
        if (status != 0 || d.count < 1) {
            tqDBWin_freeSQLDADescriptorA(&d);
            return failWith(libraryMessage("ERROR: Couldn't describe table '" + table + "'.", nullptr, status));
        }
        for (const CsvField& h : header) {
            int found = -1;
            for (int j = 0; j < d.count; ++j)
                if (d.names[j] && sameName(static_cast<const char*>(d.names[j]), h.text)) found = j;
            if (found < 0) {
                tqDBWin_freeSQLDADescriptorA(&d);
                return failWith("orvane: write-table: table '" + table + "' has no column '" + h.text + "'");
            }
            targets.push_back({quoteName(static_cast<const char*>(d.names[found])), numericType(d.types[found])});
        }
        tqDBWin_freeSQLDADescriptorA(&d);
    } else {
        const std::vector<std::size_t> widths = columnWidths(in, header.size());
        std::string sql = "CREATE TABLE " + table + " (";
        for (std::size_t i = 0; i < header.size(); ++i) {
            const std::string name = plainName(header[i].text) ? header[i].text : quoteName(header[i].text);
            sql += (i ? ", " : "") + name + " VARCHAR(" + std::to_string(widths[i]) + ")";
            targets.push_back({name, false});
        }
        sql += ")";
        status = tqDBWin_processSQLA(sql.c_str());
        if (status != 0)
            return failWith(libraryMessage("ERROR: Couldn't create the table '" + table + "'", &sql, status));
    }

    Progress progress("write-table");
    struct stat st{};
    FileShare share{in, 0};
    if (progress.on() && ::fstat(::fileno(in), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        share.size = static_cast<double>(st.st_size);
        progress.setShare(fileShare, &share);
    }
    long long rows = 0;
    {
        InsertWriter writer(table, targets, o.batch);
        std::vector<CsvField> fields;
        std::vector<Value> values(targets.size());
        while (csv.next(fields, error)) {
            if (fields.size() != targets.size()) {
                writer.finish();
                return failWith("orvane: write-table: record " + std::to_string(csv.record()) + " has " +
                                std::to_string(fields.size()) + " fields, the header " +
                                std::to_string(targets.size()) + "; " + std::to_string(writer.written()) +
                                " rows written before it");
            }
            for (std::size_t i = 0; i < fields.size(); ++i)
                values[i] = Value{fields[i].text.c_str(), fields[i].text.size(),
                                  fields[i].text.empty() && !fields[i].quoted};
            if (!writer.add(values)) {
                printMessage(writer.message());
                return failWith("orvane: write-table: " + std::to_string(writer.written()) +
                                " rows written before the failure");
            }
            progress.tick(++rows);
        }
        if (!error.empty()) {
            writer.finish();
            return failWith("orvane: write-table: " + error + "; " + std::to_string(writer.written()) +
                            " rows written before it");
        }
        if (!writer.finish()) return failWith(writer.message());
    }
    progress.clear();
    tqDBWin_disconnectDatabase();
    std::printf("wrote %lld rows into %s\n", rows, table.c_str());
    return 0;
}

const Command kCommands[] = {
    {"copy-table", "[--stream [--batch N]] SRC-CONNECT SRC-TABLE DST-CONNECT DST-TABLE",
     "replace DST-TABLE of the data source DST-CONNECT by a copy of SRC-TABLE, creating it from the source's "
     "column description; prints the row count and time. By default the library's own copy, which holds the "
     "whole table in memory: use it for tables that fit comfortably. --stream reads the rows through a cursor "
     "and writes them as they come, in transactions of N rows (default 10000) where the destination has "
     "them, with memory that does not grow with the table: use it for large tables, and where NULL and empty "
     "text must stay apart",
     runCopyTable,
     "--stream\tcopy row by row through a cursor instead of the whole table at once\n"
     "--batch N\twith --stream: rows per transaction (default 10000)\n"
     "--\tevery later argument is a name, even one starting with '-'\n",
     "orvane copy-table 'DRIVER=SQLite3;Database=a.db;' parts 'DRIVER=SQLite3;Database=b.db;' parts"},
    {"read-table", "CONNECT TABLE",
     "print TABLE as CSV: a line of column names, then one line per row (RFC 4180 quoting); SQL NULL is an "
     "empty field, empty text is \"\"",
     runReadTable, "",
     "orvane read-table 'DRIVER=SQLite3;Database=a.db;' parts > parts.csv"},
    {"write-table", "[--batch N] CONNECT TABLE [FILE|-]",
     "insert the rows of a CSV file (or standard input) as read-table prints it into TABLE: values are "
     "written by the types of the existing table's columns, or TABLE is created with VARCHAR(255) columns "
     "named by the header line (wider where a FILE holds longer text); transactions of N rows (default 10000)",
     runWriteTable,
     "--batch N\trows per transaction (default 10000)\n"
     "--\tevery later argument is a name, even one starting with '-'\n",
     "orvane write-table 'DRIVER=SQLite3;Database=b.db;' parts parts.csv"},
};

}  // namespace

std::span<const Command> tableCommands() { return kCommands; }

}  // namespace cli
