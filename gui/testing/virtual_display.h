// An X server for tests and tools: the one in $DISPLAY when it answers, otherwise a private
// Xvfb started on a free display number and stopped again when this object goes away.
#pragma once

#include <memory>
#include <string>

namespace qx::gui::testing {

class VirtualDisplay {
  public:
    // Points $DISPLAY at a usable server. Null (with *error set) when none can be had.
    static std::unique_ptr<VirtualDisplay> ensure(std::string* error);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    const std::string& name() const { return name_; }
    // True when this object started the server.
    bool ownsServer() const { return pid_ > 0; }

  private:
    VirtualDisplay(std::string name, int pid, std::string previous, bool hadPrevious);

    std::string name_;
    int pid_;
    std::string previous_;
    bool hadPrevious_;
};

}  // namespace qx::gui::testing
