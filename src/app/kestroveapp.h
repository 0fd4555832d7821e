#pragma once

/** The application shell: process start, the shared store, tray item, windows and services. */
namespace KestroveApp
{
int main(int argc, char *argv[]);
}
