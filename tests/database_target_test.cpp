// Choosing the staging database from a target text.
#include <gtest/gtest.h>

#include "staging/database.h"
#include "tests/support/check_support.h"
#include "tests/support/staging_database.h"

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

// Before, every refusal of a target was in English ("The database file ...
// already exists", "Unknown database target"): the user reads them on stderr
// and in the wizard. Each now says in Portuguese what is wrong and names the
// target.
TEST(DatabaseTarget, RefusalsArePortugueseAndNameTheTarget) {
  TempFolder dir;
  const std::string taken = dir.File("taken.db");
  WriteFileBytes(taken, "x");
  struct Case {
    std::string target, said;
  };
  const Case cases[] = {
      {"sqlite:", "não nomeia arquivo"},
      {"sqlite:file:x.db", "\"sqlite:file:x.db\" do banco de dados de trabalho é um URI"},
      {"sqlite:" + taken, "\"" + taken + "\" não foi criado: o arquivo já existe"},
      {"sqlite:" + dir.File("no-folder/x.db"), "\"" + dir.File("no-folder/x.db") + "\" não pôde ser criado"},
      {"postgres", "Destino do banco de dados de trabalho desconhecido \"postgres\""},
  };
  for (const Case& c : cases) {
    try {
      auto conn = CreateConnection(c.target);
      conn->Open();
      FAIL() << c.target << " was accepted";
    } catch (const DatabaseError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(c.said), std::string::npos) << message;
      for (const char* english : {"database", "Cannot", "already", "Unknown", "names no"})
        EXPECT_EQ(message.find(english), std::string::npos) << message;
    }
  }
}
