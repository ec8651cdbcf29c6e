#include "app/application.h"

int main(int argc, char** argv) { return mok::RunMokrin(argc, argv); }
