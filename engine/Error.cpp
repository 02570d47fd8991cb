#include <unistd.h>

#include <climits>
#include <cstring>
#include <exception>
#include <utility>

#include "engine/Internal.h"
#include "engine/SavedQueries.h"

namespace engine {

ComError::ComError(std::int32_t code, std::optional<std::string> source,
                   std::optional<std::string> description, int jetError)
    : code_(code),
      source_(std::move(source)),
      description_(std::move(description)),
      jetError_(jetError) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%08x", static_cast<unsigned>(code_));
    what_ = std::string(buffer) + ": " + description_.value_or("(no description)");
}

namespace detail {

void raise(std::int32_t code, int jetError, const std::string& description) {
    throw ComError(code, std::string(kSource), description, jetError);
}

void raiseCannotOpen(const std::string& path, const std::string& message) {
    // SQLite opens a file by its full name and names its journal after it;
    // both must fit its limit, which a deep folder of non-ASCII names can pass.
    constexpr std::size_t kJournalSuffix = sizeof("-journal") - 1;
    std::size_t fullLength = path.size();
    if (path.empty() || path.front() != '/') {
        char folder[PATH_MAX];
        if (::getcwd(folder, sizeof folder) != nullptr) fullLength += std::strlen(folder) + 1;
    }
    const sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
    const std::size_t limit = vfs != nullptr ? static_cast<std::size_t>(vfs->mxPathname) : 0;
    std::string reason = message;
    if (limit != 0 && fullLength + kJournalSuffix > limit) {
        reason += "; its full path is " + std::to_string(fullLength) +
                  " bytes and the database engine opens files whose path is at most " +
                  std::to_string(limit - kJournalSuffix) +
                  " bytes: move the database to a folder with a shorter path";
    }
    raise(hr::kUnspecified, jet::kCannotOpen,
          "The database file '" + path + "' cannot be opened (" + reason + ").");
}

void raiseDamaged(const std::string& where) {
    raise(hr::kUnspecified, jet::kUnrecognizedFormat,
          "Unrecognized database format: the file is damaged" + where + ".");
}

namespace {

// The text after `prefix` in an SQLite message, or empty.
std::string after(const std::string& message, const char* prefix) {
    auto pos = message.find(prefix);
    if (pos == std::string::npos) return {};
    return message.substr(pos + std::strlen(prefix));
}

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

[[noreturn]] void raiseOverflow(const std::string& field) {
    raise(hr::kDataOverflow, jet::kNumericOverflow,
          "Numeric field overflow: the value is too large for field '" + field +
              "' (its type's range or the precision it was defined with).");
}

}  // namespace

// The one place where SQLite's result codes and messages become the engine's
// error objects. Messages raised by the engine's own triggers and checks carry
// a "VX" tag naming the Jet error.
namespace {
thread_local std::exception_ptr heldHookFailure;
}  // namespace

void holdHookFailure(std::exception_ptr failure) {
    heldHookFailure = std::move(failure);
}

bool hookFailurePending() {
    return heldHookFailure != nullptr;
}

std::exception_ptr takeHookFailure() {
    return std::exchange(heldHookFailure, nullptr);
}

void raiseSqlite(sqlite3* db, int rc, const std::string& context) {
    const int primary = rc & 0xff;
    if (primary == SQLITE_INTERRUPT) {
        if (std::exception_ptr failure = takeHookFailure()) std::rethrow_exception(failure);
    }
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    const std::string where = context.empty() ? "" : " (" + context + ")";

    if (startsWith(message, "VXFK:3201:")) {
        raise(hr::kUnspecified, jet::kRelatedRecordRequired,
              "You cannot add or change a record because a related record is required in table '" +
                  after(message, "VXFK:3201:") + "'.");
    }
    if (startsWith(message, "VXFK:3200:")) {
        raise(hr::kUnspecified, jet::kRecordHasRelated,
              "The record cannot be deleted or changed because table '" +
                  after(message, "VXFK:3200:") + "' includes related records.");
    }
    if (startsWith(message, "VXNULL:")) {
        raise(hr::kUnspecified, jet::kNullInIndex,
              "Index or primary key cannot contain a Null value (index '" +
                  after(message, "VXNULL:") + "').");
    }
    if (startsWith(message, "VXONE:")) {
        raise(hr::kUnspecified, jet::kSubqueryRows,
              "At most one record can be returned by this subquery" + where +
                  ". Narrow its WHERE clause, "
                  "or use First(), Max() or TOP 1 so that it returns one row.");
    }
    if (startsWith(message, "VXOVF:")) raiseOverflow(after(message, "VXOVF:"));
    // A calculated field, a column its connection's rules compute.
    if (startsWith(message, "VXCALC:")) {
        raise(hr::kUnspecified, jet::kFieldNotUpdatable,
              "Field cannot be updated: '" + after(message, "VXCALC:") +
                  "' is a calculated field; its value comes from its expression.");
    }
    if (startsWith(message, "VXDECTYPE:")) {
        raise(hr::kUnspecified, jet::kDataTypeMismatch,
              "Data type mismatch: the value given for field '" + after(message, "VXDECTYPE:") +
                  "' is not a number.");
    }
    if (startsWith(message, "VXCHECK:")) {
        const std::string parts = after(message, "VXCHECK:");
        const std::size_t split = parts.find(kCheckSeparator);
        raise(hr::kIntegrity, jet::kValidationRule,
              "One or more values are prohibited by the validation rule '" +
                  parts.substr(0, split) + "' set for '" +
                  (split == std::string::npos ? "" : parts.substr(split + 1)) +
                  "'. Enter a value that the expression for this field can accept.");
    }
    if (startsWith(message, "VXPARAM:")) raiseNoParameterValue(after(message, "VXPARAM:"));
    if (startsWith(message, "VXPTYPE:")) {
        const std::string parts = after(message, "VXPTYPE:");
        const std::size_t name = parts.find(kCheckSeparator);
        const std::size_t value = parts.find(kCheckSeparator, name + 1);
        raise(hr::kSyntax, jet::kDataTypeMismatch,
              "Data type mismatch in criteria expression: the value '" +
                  parts.substr(name + 1, value - name - 1) + "' given for the parameter '" +
                  parts.substr(0, name) + "' is not a " + parts.substr(value + 1) + ".");
    }
    if (startsWith(message, "VXARG:")) {
        raise(hr::kSyntax, jet::kInvalidProcedureCall,
              "Invalid procedure call or argument: " + after(message, "VXARG:") + where + ".");
    }
    if (startsWith(message, "VXLONG:") || primary == SQLITE_TOOBIG) {
        const std::string who =
            startsWith(message, "VXLONG:") ? after(message, "VXLONG:") : "the statement";
        raise(hr::kDataOverflow, kOutOfStringSpace,
              "Out of string space: " + who + " would build a text or binary value longer than " +
                  std::to_string(kMaxValueBytes) + " bytes, the most one value may hold" + where +
                  ".");
    }
    // Conversions in an expression fail as Jet's expression service reports them.
    if (startsWith(message, "VXOVERFLOW:")) {
        raise(hr::kDataOverflow, jet::kOverflow,
              "Overflow: the value does not fit the type " + after(message, "VXOVERFLOW:") +
                  " converts to" + where + ".");
    }
    if (startsWith(message, "VXMISMATCH:")) {
        raise(hr::kSyntax, jet::kTypeMismatch,
              "Type mismatch: " + after(message, "VXMISMATCH:") +
                  " was given a value that does not read as a number" + where + ".");
    }
    if (startsWith(message, "VXPATTERN:")) {
        raise(hr::kSyntax, jet::kInvalidPattern,
              "Invalid pattern string: " + after(message, "VXPATTERN:") + where + ".");
    }
    if (startsWith(message, "VXDIVZERO:")) {
        raise(hr::kSyntax, jet::kDivisionByZero,
              "Division by zero: " + after(message, "VXDIVZERO:") + where + ".");
    }
    if (startsWith(message, "VXINVALIDNULL:")) {
        raise(hr::kSyntax, jet::kInvalidUseOfNull,
              "Invalid use of Null: " + after(message, "VXINVALIDNULL:") +
                  " was given Null; wrap the value in Nz() to give it a default" + where + ".");
    }
    switch (primary) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            raise(hr::kUnspecified, jet::kFileInUse,
                  "The database file is in use by another process and could not be locked" + where +
                      ". Close the other program and try again.");
        case SQLITE_FULL:
            raise(hr::kUnspecified, jet::kDiskFull,
                  "There is not enough space on the disk to write the database" + where + ".");
        case SQLITE_IOERR:
            raise(hr::kUnspecified, jet::kDiskOrNetworkError,
                  "A disk or network error occurred while accessing the database" + where + ".");
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_CANTOPEN:
            raise(hr::kUnspecified, jet::kCannotOpen,
                  "The database file cannot be opened for writing" + where + ".");
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            raiseDamaged(where);
        case SQLITE_INTERRUPT:
            raise(hr::kCanceled, jet::kCanceledByUser, "Operation canceled by user" + where + ".");
        case SQLITE_NOMEM:
            raise(static_cast<std::int32_t>(0x8007000E), jet::kOutOfMemory,
                  "System resource exceeded" + where + ".");
        default:
            break;
    }
    if (primary == SQLITE_CONSTRAINT) {
        if (rc == SQLITE_CONSTRAINT_UNIQUE || rc == SQLITE_CONSTRAINT_PRIMARYKEY) {
            raise(hr::kUnspecified, jet::kDuplicateValue,
                  "The changes you requested to the table were not successful because they would "
                  "create duplicate values in the index, primary key, or relationship (" +
                      after(message, "failed: ") + ").");
        }
        if (rc == SQLITE_CONSTRAINT_NOTNULL) {
            raise(hr::kUnspecified, jet::kValueRequired,
                  "You must enter a value in the '" + after(message, "failed: ") + "' field.");
        }
        if (rc == SQLITE_CONSTRAINT_DATATYPE) {
            std::string which = after(message, " column ");
            raise(hr::kUnspecified, jet::kDataTypeMismatch,
                  "Data type mismatch: the value given for field '" + which +
                      "' is not of the field's type.");
        }
        if (rc == SQLITE_CONSTRAINT_CHECK) {
            std::string which = after(message, "failed: ");
            if (startsWith(which, kOverflowConstraintPrefix)) {
                raiseOverflow(which.substr(std::strlen(kOverflowConstraintPrefix)));
            }
            if (startsWith(which, kZeroLengthConstraintPrefix)) {
                raise(hr::kIntegrity, jet::kZeroLengthString,
                      "Field '" + which.substr(std::strlen(kZeroLengthConstraintPrefix)) +
                          "' cannot be a zero-length string.");
            }
            if (startsWith(which, "vxlen:")) {
                raise(hr::kDataOverflow, jet::kFieldTooSmall,
                      "The field '" + which.substr(6) +
                          "' is too small to accept the amount of data "
                          "you attempted to add.");
            }
        }
        raise(hr::kUnspecified, jet::kDuplicateValue,
              "A constraint of the table refused the change" + where + ".");
    }
    // SQLite's own bounds on a statement's shape: expressions at most 1000
    // levels deep (each operator of a run counts one) and a parser stack of
    // a hundred or so open parentheses and function calls.
    if (startsWith(message, "Expression tree is too large") || message == "parser stack overflow") {
        raise(
            hr::kSyntax, jet::kSyntaxInExpression,
            "The expression is too complex: it may chain at most 1000 operators in a row and nest "
            "parentheses and function calls about 100 deep (" +
                message +
                "). Split it into smaller "
                "statements.");
    }
    // A calculated field, held as a generated column (files written before).
    for (const char* refusal :
         {"cannot INSERT into generated column ", "cannot UPDATE generated column "}) {
        if (startsWith(message, refusal)) {
            raise(hr::kUnspecified, jet::kFieldNotUpdatable,
                  "Field cannot be updated: '" + after(message, refusal) +
                      "' is a calculated field; its value comes from its expression.");
        }
    }
    if (startsWith(message, "no such table: ")) {
        std::string name = after(message, "no such table: ");
        raise(hr::kNoTable, jet::kInputTableNotFound,
              "The database engine cannot find the input table or query '" + name +
                  "'. Make sure it exists and that its name is spelled correctly.");
    }
    if (startsWith(message, "no such column: ")) {
        raise(hr::kParamNotSet, jet::kTooFewParameters,
              "No value given for one or more required parameters: '" +
                  after(message, "no such column: ") + "' is not a field of the tables named.");
    }
    if (startsWith(message, "ambiguous column name: ")) {
        raise(hr::kSyntax, jet::kAmbiguousField,
              "The specified field '" + after(message, "ambiguous column name: ") +
                  "' could refer to more than one table listed in the FROM clause.");
    }
    if (startsWith(message, "no such function: ")) {
        raise(hr::kSyntax, jet::kUndefinedFunction,
              "Undefined function '" + after(message, "no such function: ") + "' in expression.");
    }
    if (message.find("aggregate") != std::string::npos) {
        raise(
            hr::kSyntax, jet::kNotPartOfAggregate,
            "The statement mixes aggregate functions and plain fields in a way that cannot run: " +
                message + ".");
    }
    raise(hr::kUnspecified, jet::kReserved,
          "The database engine could not carry out the operation" + where + ": " + message + ".");
}

}  // namespace detail
}  // namespace engine
