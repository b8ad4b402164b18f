// The registries of notifiers that every host keeps: the add-in notifiers of
// the tool services and the notifiers of each module. A host only borrows a
// notifier, so the list holds plain pointers.
#pragma once

#include <algorithm>
#include <vector>

namespace scrivlock::hosts {

// Adds `notifier` unless it is null or listed already; returns whether it was added.
template <class T>
bool AddNotifierTo(std::vector<T*>& list, T* notifier) {
  if (!notifier || std::find(list.begin(), list.end(), notifier) != list.end()) return false;
  list.push_back(notifier);
  return true;
}

// Removes `notifier`; returns whether it was listed.
template <class T>
bool RemoveNotifierFrom(std::vector<T*>& list, T* notifier) {
  const auto it = std::find(list.begin(), list.end(), notifier);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

}  // namespace scrivlock::hosts
