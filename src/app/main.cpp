#include "app/kestroveapp.h"

int main(int argc, char *argv[])
{
    return KestroveApp::main(argc, argv);
}
