#include "app/velanta.h"

#include "ui/tform1.h"

int main(int argc, char **argv) {
  return runVelanta(argc, argv, QString::fromLatin1(TForm1::kDescription));
}
