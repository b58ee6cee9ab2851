#include "downloader/console/modal_box.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace pat {
namespace {

using namespace std::chrono_literals;

// The box shown on a thread of its own, as the program's thread shows it;
// the test plays the backend's thread.
class ShownBox {
 public:
  ShownBox(ModalBox& box, bool yes_no) : box_(box) {
    answer_ = std::async(std::launch::async, [this, yes_no] {
      return box_.show({"Unhandled Error #5", "An error arose.", yes_no}, [this] { woken_ = true; });
    });
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (!box_.standing() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(1ms);
  }
  bool answered() { return answer_.wait_for(0ms) == std::future_status::ready; }
  bool answer() {
    if (answer_.wait_for(5s) != std::future_status::ready) {
      ADD_FAILURE() << "the box was never answered";
      box_.close();  // lets the waiting thread go
    }
    return answer_.get();
  }
  bool woken() const { return woken_; }

 private:
  ModalBox& box_;
  std::atomic<bool> woken_{false};
  std::future<bool> answer_;
};

TEST(ModalBox, KeysAnswerOrAreSwallowed) {
  struct Case {
    const char* name;
    bool yes_no;
    std::vector<int> keys;
    bool answer;
  };
  const std::vector<Case> cases = {
      {"y", true, {'y'}, true},
      {"Y", true, {'Y'}, true},
      {"n after other keys", true, {'a', 13, 27, 0, 'n'}, false},
      {"N", true, {'N'}, false},
      {"Enter for a message", false, {'y', 'n', 13}, true},
  };
  for (const Case& c : cases) {
    ModalBox box;
    box.open();
    ShownBox shown(box, c.yes_no);
    ASSERT_TRUE(box.standing()) << c.name;
    EXPECT_TRUE(shown.woken()) << c.name;
    EXPECT_EQ(box.standing()->yes_no, c.yes_no) << c.name;
    for (std::size_t i = 0; i < c.keys.size(); ++i) {
      EXPECT_FALSE(shown.answered()) << c.name << ": answered before key " << i;
      EXPECT_TRUE(box.take_key(c.keys[i])) << c.name << ": a standing box takes every key";
    }
    EXPECT_EQ(shown.answer(), c.answer) << c.name;
    EXPECT_FALSE(box.standing()) << c.name;
    EXPECT_FALSE(box.take_key('y')) << c.name << ": no box, the key goes on";
  }
}

TEST(ModalBox, GenerationGrowsAsABoxComesAndGoes) {
  ModalBox box;
  box.open();
  const std::uint64_t before = box.generation();
  ShownBox shown(box, true);
  std::uint64_t standing = 0;
  ASSERT_TRUE(box.standing(standing));
  EXPECT_GT(standing, before);
  box.answer(true);
  EXPECT_TRUE(shown.answer());
  EXPECT_GT(box.generation(), standing);
}

TEST(ModalBox, ABackendThatStopsAnswersNo) {
  ModalBox box;
  // Not yet open: nobody would answer.
  EXPECT_FALSE(box.show({"Out of memory", "note", false}, nullptr));
  box.open();
  ShownBox shown(box, false);
  box.close();
  EXPECT_FALSE(shown.answer());
  EXPECT_FALSE(box.show({"Unhandled Error #5", "again", true}, nullptr)) << "closed: no wait";
}

}  // namespace
}  // namespace pat
