// orvane subcommands of the database family: run a statement, list the catalog, describe
// a table, on any ODBC data source given by its connect string.
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "command.hpp"
#include "orvane.h"

namespace cli {

namespace {

// The library's own message for a failed call, on standard error; exit status 1.
int fail(const std::string& heading, const std::string* sql, int status) {
    std::vector<char> message(heading.size() + (sql ? sql->size() : 0) + 1024);
    tqDBWin_getSQLErrorTextA(message.data(), heading.c_str(), sql ? sql->c_str() : nullptr, status);
    std::fprintf(stderr, "%s", message.data());
    if (!message.empty() && message[0] && std::string(message.data()).back() != '\n') std::fputc('\n', stderr);
    tqDBWin_disconnectDatabase();
    return 1;
}

bool attach(const std::string& connect, int& status) {
    status = tqDBWin_attachDatabaseA(connect.c_str());
    return status == 0;
}

// RFC 4180 field: quoted when it holds a separator, a quote or a line break.
std::string csvField(const char* text) {
    const std::string s = text ? text : "";
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

void printCsv(const SQLDADescriptor& d, void* const* slots) {
    for (int i = 0; i < d.count; ++i) {
        if (i) std::fputc(',', stdout);
        std::fputs(csvField(static_cast<const char*>(slots[i])).c_str(), stdout);
    }
    std::fputc('\n', stdout);
}

// Statements that return rows go through a cursor; everything else is executed.
bool returnsRows(const std::string& sql) {
    std::size_t i = 0;
    while (i < sql.size() && (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '(')) ++i;
    std::string word;
    while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])))
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i++])));
    return word == "SELECT" || word == "WITH" || word == "VALUES";
}

int runSql(const std::vector<std::string>& args) {
    if (args.size() != 2) return usageError("sql: needs CONNECT and STATEMENT");
    const std::string& sql = args[1];
    int status;
    if (!attach(args[0], status)) return fail("Cannot attach the data source.", nullptr, status);
    if (!returnsRows(sql)) {
        status = tqDBWin_processSQLA(sql.c_str());
        if (status != 0) return fail("The statement failed.", &sql, status);
        tqDBWin_disconnectDatabase();
        return 0;
    }
    uint16_t id = 0;
    if (!tqDBWin_openCursorWithIDA(&id, sql.c_str())) return fail("The query failed.", &sql, -1);
    SQLDADescriptor row{};
    bool first = true;
    while (tqDBWin_fetchRowByIDA(&row, id)) {
        if (first) printCsv(row, row.names);  // the column names head the rows
        first = false;
        printCsv(row, row.values);
    }
    tqDBWin_freeSQLDADescriptorA(&row);
    tqDBWin_closeCursorWithID(id);
    tqDBWin_disconnectDatabase();
    return 0;
}

int runTables(const std::vector<std::string>& args) {
    if (args.size() != 1) return usageError("tables: needs CONNECT");
    int status;
    if (!attach(args[0], status)) return fail("Cannot attach the data source.", nullptr, status);
    char** names = nullptr;
    int count = 0;
    if (!tqDBWin_describeDatabaseA(&names, &count)) return fail("Cannot list the catalog.", nullptr, -1);
    for (int i = 0; i < count; ++i) std::printf("%s\n", names[i]);
    tqDBWin_freeStringsArrayA(names, count);
    tqDBWin_disconnectDatabase();
    return 0;
}

const char* typeName(int type) {
    switch (type) {
        case 1: return "CHAR";
        case 2: return "NUMERIC";
        case 3: return "DECIMAL";
        case 4: return "INTEGER";
        case 5: return "SMALLINT";
        case 6: return "FLOAT";
        case 7: return "REAL";
        case 8: return "DOUBLE";
        case 9: case 91: return "DATE";
        case 10: case 92: return "TIME";
        case 11: case 93: return "TIMESTAMP";
        case 12: return "VARCHAR";
        case -1: return "LONGVARCHAR";
        case -2: return "BINARY";
        case -3: return "VARBINARY";
        case -4: return "LONGVARBINARY";
        case -5: return "BIGINT";
        case -6: return "TINYINT";
        case -7: return "BIT";
        case -8: return "WCHAR";
        case -9: return "WVARCHAR";
        case -10: return "WLONGVARCHAR";
        case -11: return "GUID";
        default: return "OTHER";
    }
}

int runDescribe(const std::vector<std::string>& args) {
    if (args.size() != 2) return usageError("describe: needs CONNECT and TABLE");
    int status;
    if (!attach(args[0], status)) return fail("Cannot attach the data source.", nullptr, status);
    SQLDADescriptor d{};
    status = tqDBWin_describeTableA(&d, args[1].c_str());
    if (status != 0 || d.count < 1) {
        tqDBWin_freeSQLDADescriptorA(&d);
        return fail("Cannot describe table " + args[1] + ".", nullptr, status);
    }
    std::printf("name,type,type_name,size,scale,nullable\n");
    for (int i = 0; i < d.count; ++i)
        std::printf("%s,%d,%s,%d,%d,%d\n", csvField(static_cast<const char*>(d.names[i])).c_str(), d.types[i],
                    typeName(d.types[i]), d.sizes[i], d.scales[i], d.nullable[i]);
    tqDBWin_freeSQLDADescriptorA(&d);
    tqDBWin_disconnectDatabase();
    return 0;
}

const Command kCommands[] = {
    {"sql", "CONNECT STATEMENT",
     "run one SQL statement on the ODBC data source CONNECT; a query prints its rows as CSV after a line of "
     "column names",
     runSql, "",
     "orvane sql 'DRIVER=SQLite3;Database=parts.db;' 'CREATE TABLE parts (id INTEGER, name VARCHAR(40))'\n"
     "orvane sql 'DRIVER=SQLite3;Database=parts.db;' 'SELECT * FROM parts'"},
    {"tables", "CONNECT", "list the names of the data source's tables and views, one per line", runTables, "",
     "orvane tables 'DRIVER=SQLite3;Database=parts.db;'"},
    {"describe", "CONNECT TABLE", "print TABLE's columns as CSV: name,type,type_name,size,scale,nullable",
     runDescribe, "",
     "orvane describe 'DRIVER=SQLite3;Database=parts.db;' parts"},
};

}  // namespace

std::span<const Command> databaseCommands() { return kCommands; }

}  // namespace cli
