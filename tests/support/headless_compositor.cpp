// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/headless_compositor.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "support/child_process.h"

namespace sonlet {

namespace {

std::string Tail(const std::string& path) {
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return text.substr(text.size() > 4000 ? text.size() - 4000 : 0);
}

}  // namespace

HeadlessCompositor::~HeadlessCompositor() {
  StopChild(pid_);
  RemoveFolder(folder_);
}

bool HeadlessCompositor::MakeFolder(const char* pattern) {
  std::string folder = pattern;
  if (mkdtemp(folder.data()) == nullptr) {
    error_ = "mkdtemp failed";
    return false;
  }
  folder_ = folder;
  return true;
}

void HeadlessCompositor::AwaitSocket(const std::string& name, const std::string& log,
                                     std::chrono::seconds limit,
                                     const std::function<bool()>& found) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < until) {
    if (ChildEnded(pid_)) {
      error_ = name + " ended at start; its log:\n" + Tail(log);
      socket_.clear();
      return;
    }
    if (found()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  error_ = name + " did not open its socket within " + std::to_string(limit.count()) +
           " s; its log:\n" + Tail(log);
  socket_.clear();
  StopChild(pid_);
}

}  // namespace sonlet
