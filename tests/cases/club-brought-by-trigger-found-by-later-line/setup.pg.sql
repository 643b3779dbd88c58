-- Storing the first line's club brings the second line's into the Club table under the
-- placeholder name: the second line finds it there and fills its name in.
CREATE FUNCTION bring() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN INSERT INTO Club (Code_federal, Intitule, Selection) VALUES ('FRA3070340004', 'Null', 0); RETURN NULL; END $$;
CREATE TRIGGER bring AFTER INSERT ON Club FOR EACH ROW WHEN (NEW.Code_federal = 'FRA1010350007')
    EXECUTE FUNCTION bring();
