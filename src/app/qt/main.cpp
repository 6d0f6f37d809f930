#include "app/qt/Desktop.h"

int main(int argc, char** argv) { return quarnel::RunDesktop(argc, argv); }
