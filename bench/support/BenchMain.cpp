// The main of every benchmark program without widgets: a QCoreApplication for the whole run.
#include <QCoreApplication>

#include "BenchSupport.h"

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    return kl::runBenchmarks(argc, argv);
}
