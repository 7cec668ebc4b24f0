#include "app/tenvo_app.h"

int main(int argc, char** argv) {
  velrix::CTenvoApp app;
  return app.Run(argc, argv);
}
