#include "storage/db/Statement.h"

namespace ql {

Statement::~Statement() { close(); }

void Statement::close() {
    if (statement_) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
    inUse_ = false;
}

void Statement::reset() {
    if (statement_) sqlite3_reset(statement_);
    inUse_ = false;
}

std::string Statement::description() const {
    return Object::description() + " " + std::to_string(useCount_) + " hit(s) for query " + query_;
}

}  // namespace ql
