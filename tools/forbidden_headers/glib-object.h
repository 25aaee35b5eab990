#error "The portable core must not include platform headers; move this code into a front end under platform/."
