#include "app/Form1.h"
Form1::Form1(QWidget* parent) : QMainWindow(parent) {}
void Form1::load() { show(); }
