// Choosing the staging database from a target text.
#include <gtest/gtest.h>

#include "staging/database.h"

TEST(DatabaseTarget, UnknownTargetsAreRefusedWithoutRepeatingAPassword) {
  try {
    CreateConnection("odbc;Driver=x;UID=a;PWD=secret");
    FAIL() << "a target of no known kind was accepted";
  } catch (const DatabaseError& e) {
    std::string message = e.what();
    EXPECT_EQ(message.find("secret"), std::string::npos) << message;
    EXPECT_NE(message.find("odbc:CONNECTION"), std::string::npos) << message;
  }
  try {
    CreateConnection("postgres");
    FAIL() << "a target of no known kind was accepted";
  } catch (const DatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("\"postgres\""), std::string::npos) << e.what();
  }
}
