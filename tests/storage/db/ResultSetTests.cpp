#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Object.h"
#include "storage/db/Database.h"
#include "storage/db/ResultSet.h"

using namespace ql;

namespace {

class Book : public ns::Object {
    QL_OBJECT(Book, ns::Object)
    QL_PROPERTY(std::string, title)
    QL_PROPERTY(std::int64_t, pages)
};

std::shared_ptr<Database> bookDatabase() {
    auto db = Database::databaseWithPath(std::nullopt);
    EXPECT_TRUE(db->open());
    EXPECT_TRUE(db->executeStatements(
        "create table books (Title text, pages integer, price real, cover blob, note text);"
        "insert into books values ('Moon', 120, 9.5, x'0102', null);"
        "insert into books values ('Sun', null, 3, x'', 'n');"));
    return db;
}

}  // namespace

TEST(ResultSet, ReadsColumnsByIndexAndCaseInsensitiveName) {
    auto db = bookDatabase();
    auto rs = db->executeQuery("select * from books order by title");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->query(), "select * from books order by title");
    EXPECT_TRUE(db->hasOpenResultSets());
    ASSERT_TRUE(rs->next());
    EXPECT_TRUE(rs->hasAnotherRow());
    EXPECT_EQ(rs->columnCount(), 5);
    EXPECT_EQ(rs->columnNameForIndex(0), "Title");
    EXPECT_EQ(rs->columnIndexForName("TITLE"), 0);
    EXPECT_EQ(rs->stringForColumn("title"), "Moon");
    EXPECT_EQ(rs->intForColumn("Pages"), 120);
    EXPECT_EQ(rs->doubleForColumnIndex(2), 9.5);
    EXPECT_EQ(rs->dataForColumn("cover"), ns::Data(std::string_view("\x01\x02")));
    EXPECT_TRUE(rs->columnIsNull("note"));
    EXPECT_EQ(rs->stringForColumn("note"), std::nullopt);
    EXPECT_EQ(rs->UTF8StringForColumnName("note"), nullptr);
    EXPECT_TRUE(rs->objectForColumnName("note").isNull());
    EXPECT_EQ(rs->objectForColumnIndex(1).kind(), ns::Value::Kind::Int);
    EXPECT_EQ(rs->objectForColumnIndex(2).kind(), ns::Value::Kind::Double);
    EXPECT_EQ((*rs)["TITLE"].asString(), "Moon");
    EXPECT_EQ((*rs)[1].int64Value(), 120);

    // A column the result lacks: a warning, index -1 and empty values.
    testing::internal::CaptureStderr();
    EXPECT_EQ(rs->intForColumn("missing"), 0);
    EXPECT_TRUE(rs->columnIsNull("missing"));
    EXPECT_EQ(rs->stringForColumn("missing"), std::nullopt);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Warning: I could not find the column named 'missing'."),
              std::string::npos);

    const ns::Dictionary row = *rs->resultDictionary();
    EXPECT_EQ(row["Title"].asString(), "Moon");
    EXPECT_TRUE(row["note"].isNull());
    const ns::Dictionary lowered = *rs->resultDict();
    EXPECT_EQ(lowered["title"].asString(), "Moon");
    EXPECT_FALSE(lowered.contains("Title"));

    // Every column must name a property; "Title" does not name "title".
    Book book;
    EXPECT_THROW(rs->kvcMagic(book), ns::Exception);

    // The second row: a NULL integer and an empty blob.
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(rs->intForColumnIndex(1), 0);
    EXPECT_TRUE(rs->columnIndexIsNull(1));
    EXPECT_TRUE(rs->objectForColumnIndex(1).isNull());
    EXPECT_EQ(rs->dataForColumnIndex(3), std::nullopt);
    ASSERT_TRUE(rs->dataNoCopyForColumnIndex(3).has_value());
    EXPECT_TRUE(rs->dataNoCopyForColumnIndex(3)->empty());
    EXPECT_TRUE(rs->objectForColumnIndex(3).isNull());

    // After the last row it closes; stepping again is misuse without a parent.
    EXPECT_FALSE(rs->next());
    EXPECT_FALSE(db->hasOpenResultSets());
    EXPECT_EQ(rs->columnCount(), 0);
    ns::Error error("", 0);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(rs->nextWithError(&error));
    EXPECT_EQ(rs->resultDictionary(), std::nullopt);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Warning: There seem to be no columns in this set."), std::string::npos);
    EXPECT_EQ(error.code(), SQLITE_MISUSE);
    EXPECT_EQ(error.localizedDescription(), "parentDB does not exist");

    rs = db->executeQuery("select title as title, pages, note from books order by title");
    ASSERT_TRUE(rs->next());
    rs->kvcMagic(book);  // the NULL note is skipped
    EXPECT_EQ(book.title, "Moon");
    EXPECT_EQ(book.pages, 120);
}

TEST(ResultSet, LaterColumnWinsAndConnectionCloseDetaches) {
    auto db = bookDatabase();
    auto rs = db->executeQuery("select 1 as v, 2 as V, 1.5 as d, 'x' as t");
    ASSERT_TRUE(rs->next());
    EXPECT_EQ(rs->intForColumn("v"), 2);
    EXPECT_EQ(rs->columnNameToIndexMap().size(), 3u);
    EXPECT_EQ(rs->unsignedLongLongIntForColumn("V"), 2u);
    EXPECT_TRUE(rs->boolForColumn("v"));

    // Names outside ASCII fold by their letters' case too, and every spelling finds the later column.
    auto named = db->executeQuery("select 1 as \"Ärger\", 2 as \"ärger\", 3 as Mixed");
    ASSERT_TRUE(named->next());
    EXPECT_EQ(named->intForColumn("ÄRGER"), 2);
    EXPECT_EQ(named->intForColumn("Ärger"), 2);
    EXPECT_EQ(named->intForColumn("mIXED"), 3);
    EXPECT_EQ(named->intForColumn("Mixed"), 3);
    testing::internal::CaptureStderr();
    EXPECT_EQ(named->columnIndexForName("MISSING"), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("could not find the column named 'missing'"),
              std::string::npos);

    // The result set keeps its connection alive; closing the connection closes the result set.
    std::weak_ptr<Database> weak = db;
    auto other = db->executeQuery("select 1");
    db->close();
    EXPECT_EQ(rs->statement(), nullptr);
    EXPECT_EQ(rs->stringForColumn("t"), std::nullopt);
    db = nullptr;
    EXPECT_TRUE(weak.expired());

    auto kept = bookDatabase();
    weak = kept;
    auto open = kept->executeQuery("select title from books");
    kept = nullptr;
    EXPECT_FALSE(weak.expired());
    ASSERT_TRUE(open->next());
    open->close();
    EXPECT_TRUE(weak.expired());
}
