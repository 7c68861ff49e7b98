#include "platform/Window.h"

namespace tf {
namespace {

NullWindowHost g_nullWindowHost;
WindowHost* g_windowHost = &g_nullWindowHost;

}  // namespace

WindowHost* SetWindowHost(WindowHost* host) {
  WindowHost* previous = g_windowHost;
  g_windowHost = host ? host : &g_nullWindowHost;
  return previous;
}

WindowHost& GetWindowHost() { return *g_windowHost; }

}  // namespace tf
