#pragma once
// Both forms save the settings the same way and differ only in how they tell the user.
#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace murmuro {

// Runs `save`; the reason it failed (UTF-8), or nullopt when it worked.
inline std::optional<std::string> SaveFailure(const std::function<void()>& save) noexcept {
  try {
    save();
    return std::nullopt;
  } catch (const std::exception& e) {
    return std::string(e.what());
  } catch (...) {
    return std::string("The settings could not be saved.");
  }
}

}  // namespace murmuro
