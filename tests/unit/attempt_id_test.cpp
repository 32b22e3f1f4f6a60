#include "platform/text.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

namespace cv {
namespace {

TEST(AttemptId, HasTheGuidFormInUpperCaseAndIsFresh) {
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    const std::string id = newAttemptId();
    ASSERT_EQ(id.size(), 36u);
    for (std::size_t at = 0; at < id.size(); ++at) {
      if (at == 8 || at == 13 || at == 18 || at == 23) {
        EXPECT_EQ(id[at], '-');
      } else {
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(id[at])) || (id[at] >= 'A' && id[at] <= 'F'))
            << id;
      }
    }
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 50u);
}

}  // namespace
}  // namespace cv
