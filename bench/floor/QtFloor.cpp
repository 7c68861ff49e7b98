// The floor of the start-up benchmark: a program that makes a QApplication and ends.
#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
  QApplication application(argc, argv);
  return 0;
}
