#include "input/ViewController.h"

ViewController::ViewController(InputDevices* input) : input(input) {}

ViewController::~ViewController() = default;

void ViewController::update() {}
