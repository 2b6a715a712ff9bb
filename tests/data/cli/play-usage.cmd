play --bogus
