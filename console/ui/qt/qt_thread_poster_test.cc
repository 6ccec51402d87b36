// The platform's thread poster under the Qt view's loop: on Linux Qt dispatches the GLib
// default main context, so a task posted from another thread runs inside
// QCoreApplication::exec, on the application's thread.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <memory>
#include <string>
#include <thread>

#include "console/ui/qt/offscreen_testing.h"
#include "platform/event_loop.h"

namespace helmsman::ui::qt {
namespace {

using QtThreadPosterTest = OffscreenQtTest;

TEST_F(QtThreadPosterTest, ATaskPostedFromAnotherThreadRunsInsideExecOnTheApplicationsThread) {
  std::string error;
  std::unique_ptr<platform::ThreadPoster> poster = platform::ThreadPoster::Create(&error);
  ASSERT_TRUE(poster) << error;
  std::thread::id ran_on;
  // exit ends exec only from inside it: the code says where the task ran.
  std::thread other([&] {
    EXPECT_TRUE(poster->Post([&ran_on] {
      ran_on = std::this_thread::get_id();
      QCoreApplication::exit(7);
    }));
  });
  QTimer give_up;
  give_up.setSingleShot(true);
  QObject::connect(&give_up, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  give_up.start(10000);
  const int code = QCoreApplication::exec();
  other.join();
  EXPECT_EQ(code, 7);
  EXPECT_EQ(ran_on, std::this_thread::get_id());
}

}  // namespace
}  // namespace helmsman::ui::qt
