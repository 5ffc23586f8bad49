// A serial port held in memory, as a host hands its own to DebugSax: it serves the bytes a
// test fed it and records what the link does with its output.
#pragma once

#include <qordtcon/qordtcon.hpp>

#include <string>
#include <thread>
#include <vector>

class MemoryPort : public qordtcon::SerialChannel {
 public:
  void Feed(std::string bytes) {
    in_ = std::move(bytes);
    pos_ = 0;
    calls.clear();
  }

  void CommPort(const std::string&) override {}
  void Settings(const std::string& s) override { settings = s; }
  void PhoneNumber(const std::string&) override {}
  void PortKind(int k) override { kind = k; }
  void Timeout(int) override {}
  void Open() override { open = true; }
  void Close() override { open = false; }
  // A port that ends when drained answers at once that nothing more will come.
  bool IsOpen() const override { return open && (!endsWhenDrained || pos_ < in_.size()); }
  bool Busy() const override { return false; }
  std::string DialStatus() const override { return {}; }
  void InputLen(int count) override { inputLen_ = count; }
  int InCount() override { return static_cast<int>(in_.size() - pos_); }
  std::string Input() override {
    const std::string out = in_.substr(pos_, inputLen_ > 0 ? inputLen_ : std::string::npos);
    pos_ += out.size();
    return out;
  }
  void OutputLen(int count) override { calls.push_back("len " + std::to_string(count)); }
  void Output(std::string_view data) override {
    calls.push_back("out " + std::to_string(data.size()));
  }
  // Nothing more ever arrives: a wait lasts until its deadline.
  void Wait(qordtcon::Clock::time_point until) override {
    if (pos_ == in_.size()) std::this_thread::sleep_until(until);
  }
  void Interrupt() override {}

  bool open = false;
  bool endsWhenDrained = false;
  int kind = -1;
  std::string settings;
  std::vector<std::string> calls;

 private:
  std::string in_;
  std::size_t pos_ = 0;
  int inputLen_ = 0;
};
