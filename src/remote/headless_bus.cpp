// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/headless_bus.h"

#include <QMetaObject>
#include <clocale>
#include <cstdio>
#include <string>
#include <thread>

namespace sonlet {

HeadlessBus::~HeadlessBus() {
  // The connection goes before the application it was made in.
  service_.reset();
  application_.reset();
}

int HeadlessBus::Open() {
  if (!line_.input.empty() && !line_.realtime) return 0;
  // Qt takes the environment's locale; the run's numbers (the trace, the summary) keep the
  // program's own, as without the bus.
  const std::string locale = std::setlocale(LC_ALL, nullptr);
  application_ = std::make_unique<QCoreApplication>(argc_, argv_);
  std::setlocale(LC_ALL, locale.c_str());

  service_ = std::make_unique<RemoteService>();
  std::string why;
  switch (service_->ClaimName(&why)) {
    case RemoteService::Claim::kOwned:
      return 0;
    case RemoteService::Claim::kNoBus:
      service_.reset();
      return 0;
    case RemoteService::Claim::kSilent:
      // Refusing would leave the user with no pointer at all for the sake of a convenience;
      // two engines on one pointer, should another run, is the lesser harm, and it is said.
      service_.reset();
      std::fprintf(stderr,
                   "sonlet: %s; Sonlet goes on without it: sonlet --stop and the like cannot "
                   "reach this run%s.\n",
                   why.c_str(),
                   MovesThePointer() ? ", and should another Sonlet run in this session, both "
                                       "would move the pointer"
                                     : "");
      return 0;
    case RemoteService::Claim::kTaken:
      break;
  }
  service_.reset();
  if (MovesThePointer()) {
    std::fprintf(stderr,
                 "sonlet: a Sonlet is already running in this session (sonlet --status asks it), "
                 "and two would fight over the pointer. End it first (sonlet --quit), or give this "
                 "one --output log or --output none.\n");
    return 2;
  }
  std::fprintf(stderr,
               "sonlet: a Sonlet is already running in this session; this one moves no pointer "
               "and runs beside it, but sonlet --stop and the like reach the other.\n");
  return 0;
}

void HeadlessBus::ServeUntil(ProgramControl& control, const std::function<void()>& wait_for_end) {
  if (service_ == nullptr) {
    wait_for_end();
    return;
  }
  service_->SetTarget(&control);
  QCoreApplication* application = application_.get();
  std::thread waiter([&wait_for_end, application] {
    wait_for_end();
    QMetaObject::invokeMethod(
        application, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
  });
  QCoreApplication::exec();
  waiter.join();
  service_->SetTarget(nullptr);
  // The run is over; from here on it answers nothing, and another may start.
  service_->Release();
}

}  // namespace sonlet
