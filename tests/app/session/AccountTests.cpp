#include <gtest/gtest.h>

#include "app/session/Account.h"

using namespace ql;

TEST(AccountTest, HoldsTheSessionTextsAndTheSignedInFlag) {
    Account account;
    EXPECT_EQ(account.token(), std::nullopt);
    EXPECT_EQ(account.userPwd(), std::nullopt);
    EXPECT_EQ(account.userName(), std::nullopt);
    EXPECT_FALSE(account.islogin());

    account.setToken("t-1");
    account.setUserPwd("secret");
    account.setUserName("小明");
    account.setIslogin(true);
    EXPECT_EQ(account.token(), "t-1");
    EXPECT_EQ(account.userPwd(), "secret");
    EXPECT_EQ(account.userName(), "小明");
    EXPECT_TRUE(account.islogin());

    account.setToken(std::nullopt);
    EXPECT_EQ(account.token(), std::nullopt);
    EXPECT_EQ(account.userName(), "小明");

    // The process-wide session is one object.
    EXPECT_EQ(&Account::share(), &Account::share());
}
