// Shared helpers for the test suites.
