// Fixture for the floor checker: a clean platform header.
#pragma once
// #include "app/App.h"   (a commented-out include is not an include)
/* #include <QObject>
   class Layer; */
namespace fixture {
struct Block {
  int size = 0;
};
}  // namespace fixture
